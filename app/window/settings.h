#pragma once
// The user's settings, kept with QSettings in the user's config folder
// (~/.config/romhaul/romhaul.ini). The cores read no settings: applySettings
// (app/settings_dialog.h) hands them on.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

constexpr int kServiceCount = 5;
constexpr int kHistorySize = 20;

struct ProxySetting {
    enum Mode { None, System, Http, Socks5 };
    Mode mode = System;
    QString host;
    int port = 0;
    QString user;
    QString password;
};

struct Settings {
    // "" follows the locale, "zh" or "en" chooses.
    QString language;
    // In VendorService order (Huawei, ZTE, Coolpad, LG, iPhone): host or host:port, the iPhone
    // catalogue's base address; "" keeps the default.
    QString hosts[kServiceCount];
    ProxySetting proxy;
    // For the download engine.
    QString downloadFolder;
    int connections = 4;
};

// The settings store; a new QSettings on the user's file each time.
std::unique_ptr<QSettings> settingsStore();

Settings loadSettings();
// Writes the settings; false and `reason` when the file cannot be written.
bool saveSettings(const Settings& settings, QString* reason);

// The last inputs of one input box (newest first, at most kHistorySize), by its name.
QStringList inputHistory(const QString& box);
// Puts `input` first (once) and saves; false and `reason` when the file cannot be written.
bool rememberInput(const QString& box, const QString& input, QString* reason = nullptr);
bool clearInputHistory(QString* reason = nullptr);
