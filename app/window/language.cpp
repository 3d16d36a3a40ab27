#include "app/window/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

UiLanguage current = UiLanguage::Chinese;
QTranslator* programTexts = nullptr;
QTranslator* qtTexts = nullptr;

void drop(QTranslator*& translator) {
    if (!translator) return;
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = nullptr;
}

// The program's catalogue: installed beside the program's data, else built in.
bool loadProgramTexts(QTranslator& translator, const QString& name) {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath("../share/romhaul/translations");
    return translator.load(name, installed) || translator.load(name, QStringLiteral(":/i18n"));
}

}  // namespace

UiLanguage chooseLanguage(const QString& setting, const QLocale& locale) {
    if (setting == QLatin1String("zh")) return UiLanguage::Chinese;
    if (setting == QLatin1String("en")) return UiLanguage::English;
    return locale.language() == QLocale::Chinese ? UiLanguage::Chinese : UiLanguage::English;
}

void installLanguage(UiLanguage language) {
    drop(programTexts);
    drop(qtTexts);
    current = language;
    if (language == UiLanguage::English) {
        programTexts = new QTranslator;
        if (loadProgramTexts(*programTexts, QStringLiteral("romhaul_en")))
            QCoreApplication::installTranslator(programTexts);
        else
            drop(programTexts);
        return;
    }
    // Traditional script locales get Qt's Taiwan catalogue, the rest the simplified one.
    const QLocale system;
    const QString name = system.language() == QLocale::Chinese &&
                                 system.script() == QLocale::TraditionalChineseScript
                             ? QStringLiteral("qtbase_zh_TW")
                             : QStringLiteral("qtbase_zh_CN");
    qtTexts = new QTranslator;
    if (qtTexts->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    else
        drop(qtTexts);
}

UiLanguage installedLanguage() {
    return current;
}
