#pragma once
// The window's language: Chinese (the program's source texts) under a Chinese locale,
// English under every other, unless the settings choose. Qt's own texts (file dialogs,
// standard menus, message box buttons) follow the same language.
#include <QLocale>
#include <QString>

enum class UiLanguage { Chinese, English };

// `setting` is "zh", "en", or "" to follow `locale`.
UiLanguage chooseLanguage(const QString& setting, const QLocale& locale);

// Replaces the translators of the program's and Qt's texts; texts set afterwards speak
// the language. Chinese needs no program catalogue; English needs no Qt one.
void installLanguage(UiLanguage language);
UiLanguage installedLanguage();
