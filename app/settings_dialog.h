#pragma once
// The settings dialog: service hosts, language, proxy, downloads, and the input history.
#include <QDialog>

#include "app/window/settings.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

class SettingsDialog : public QDialog {
  public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    // The settings as the dialog shows them.
    Settings settings() const;
    void showSettings(const Settings& settings);

    // Saves and applies the settings shown; a file that cannot be written is said in a
    // message box and keeps the dialog open.
    void accept() override;

  private:
    void updateProxyFields();

    QComboBox* language_;
    QLineEdit* hosts_[kServiceCount];
    QComboBox* proxyMode_;
    QLineEdit* proxyHost_;
    QSpinBox* proxyPort_;
    QLineEdit* proxyUser_;
    QLineEdit* proxyPassword_;
    QLineEdit* downloadFolder_;
    QSpinBox* connections_;
    QString startLanguage_;
};

// Makes the hosts and proxy of `settings` the ones the look-ups use: the hosts through the
// ROMHAUL_* variables a user may set (the first call notes which ones the user set before
// the start; those are never replaced), the proxy through the network layer; and its
// download folder ("" for the default) and connections the ones new downloads use. False
// when the proxy was refused (a manual one without a usable host or port).
bool applySettings(const Settings& settings);

// Opens the dialog over `parent` with the saved settings.
void openSettingsDialog(QWidget* parent);
