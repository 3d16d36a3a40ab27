#include "app/settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "app/pages/downloads_page.h"
#include "app/window/qt_text.h"
#include "net/proxy_settings.h"
#include "vendors/service_hosts.h"

namespace {

// The environment as the program found it, for the variables the settings may set.
struct StartEnvironment {
    std::map<std::string, std::string> values;  // only those that were set
    bool has(const char* name) const { return values.count(name) != 0; }
};

const StartEnvironment& startEnvironment() {
    static const StartEnvironment env = [] {
        StartEnvironment e;
        const auto note = [&e](const char* name) {
            if (const char* v = std::getenv(name)) e.values[name] = v;
        };
        for (int i = 0; i < kServiceCount; ++i) note(serviceHostVariable(VendorService(i)));
        return e;
    }();
    return env;
}

void setVariable(const char* name, const QString& value) {
    if (value.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}

const char* const kServiceNames[kServiceCount] = {
    QT_TRANSLATE_NOOP("Romhaul", "华为："), QT_TRANSLATE_NOOP("Romhaul", "中兴："),
    QT_TRANSLATE_NOOP("Romhaul", "酷派："), QT_TRANSLATE_NOOP("Romhaul", "LG："),
    QT_TRANSLATE_NOOP("Romhaul", "iPhone 固件目录：")};

const char* const kDefaults[kServiceCount] = {"consumer.huawei.com", "support.zte.com.cn",
                                              "www.coolpad.com", "csmg.lgmobile.com:9002",
                                              "http://iphone-catalogue.invalid/"};

void warn(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, Romhaul::tr("信息："), text);
}

}  // namespace

bool applySettings(const Settings& s) {
    const StartEnvironment& start = startEnvironment();
    for (int i = 0; i < kServiceCount; ++i) {
        const char* name = serviceHostVariable(VendorService(i));
        if (!start.has(name)) setVariable(name, s.hosts[i].trimmed());
    }
    // Downloads already running keep the folder and connections they started with.
    DownloadSettings& downloads = downloadSettings();
    const QString folder = s.downloadFolder.trimmed();
    downloads.folder =
        folder.isEmpty() ? defaultDownloadFolder() : QDir::fromNativeSeparators(folder);
    downloads.connections = std::clamp(s.connections, 1, 16);
    net::ProxySettings proxy;
    proxy.mode = net::ProxyMode(int(s.proxy.mode));
    proxy.host = s.proxy.host.trimmed().toStdString();
    proxy.port = s.proxy.port;
    proxy.user = s.proxy.user.toStdString();
    proxy.password = s.proxy.password.toStdString();
    return net::setProxySettings(proxy);
}

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(Romhaul::tr("设置"));
    auto* top = new QVBoxLayout(this);

    auto* general = new QFormLayout;
    language_ = new QComboBox;
    language_->setObjectName(QStringLiteral("language"));
    language_->addItem(Romhaul::tr("跟随系统"), QString());
    language_->addItem(QStringLiteral("中文"), QStringLiteral("zh"));
    language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
    general->addRow(Romhaul::tr("语言："), language_);
    top->addLayout(general);

    auto* hostBox = new QGroupBox(Romhaul::tr("服务地址"));
    auto* hostForm = new QFormLayout(hostBox);
    for (int i = 0; i < kServiceCount; ++i) {
        hosts_[i] = new QLineEdit;
        hosts_[i]->setObjectName(QStringLiteral("host%1").arg(i));
        hosts_[i]->setPlaceholderText(QString::fromLatin1(kDefaults[i]));
        const char* variable = serviceHostVariable(VendorService(i));
        if (qEnvironmentVariableIsSet(variable)) {
            hosts_[i]->setEnabled(false);
            hosts_[i]->setToolTip(
                Romhaul::tr("环境变量 %1 设定了这个地址。").arg(QString::fromLatin1(variable)));
        }
        hostForm->addRow(Romhaul::tr(kServiceNames[i]), hosts_[i]);
    }
    top->addWidget(hostBox);

    auto* proxyBox = new QGroupBox(Romhaul::tr("代理"));
    auto* proxyForm = new QFormLayout(proxyBox);
    proxyMode_ = new QComboBox;
    proxyMode_->setObjectName(QStringLiteral("proxyMode"));
    proxyMode_->addItems({Romhaul::tr("不用代理"), Romhaul::tr("系统代理"),
                          Romhaul::tr("HTTP 代理"), Romhaul::tr("SOCKS5 代理")});
    proxyHost_ = new QLineEdit;
    proxyHost_->setObjectName(QStringLiteral("proxyHost"));
    proxyPort_ = new QSpinBox;
    proxyPort_->setObjectName(QStringLiteral("proxyPort"));
    proxyPort_->setRange(0, 65535);
    proxyUser_ = new QLineEdit;
    proxyUser_->setObjectName(QStringLiteral("proxyUser"));
    proxyPassword_ = new QLineEdit;
    proxyPassword_->setObjectName(QStringLiteral("proxyPassword"));
    proxyPassword_->setEchoMode(QLineEdit::Password);
    proxyForm->addRow(Romhaul::tr("方式："), proxyMode_);
    proxyForm->addRow(Romhaul::tr("主机："), proxyHost_);
    proxyForm->addRow(Romhaul::tr("端口："), proxyPort_);
    proxyForm->addRow(Romhaul::tr("用户名："), proxyUser_);
    proxyForm->addRow(Romhaul::tr("密码："), proxyPassword_);
    connect(proxyMode_, &QComboBox::currentIndexChanged, this, [this] { updateProxyFields(); });
    top->addWidget(proxyBox);

    auto* downloadBox = new QGroupBox(Romhaul::tr("下载"));
    auto* downloadForm = new QFormLayout(downloadBox);
    auto* folderRow = new QHBoxLayout;
    downloadFolder_ = new QLineEdit;
    downloadFolder_->setObjectName(QStringLiteral("downloadFolder"));
    auto* browse = new QToolButton;
    browse->setText(Romhaul::tr("浏览…"));
    connect(browse, &QToolButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, Romhaul::tr("下载文件夹"),
                                                                 downloadFolder_->text());
        if (!folder.isEmpty()) downloadFolder_->setText(QDir::toNativeSeparators(folder));
    });
    folderRow->addWidget(downloadFolder_);
    folderRow->addWidget(browse);
    connections_ = new QSpinBox;
    connections_->setObjectName(QStringLiteral("connections"));
    connections_->setRange(1, 16);
    downloadForm->addRow(Romhaul::tr("下载文件夹："), folderRow);
    downloadForm->addRow(Romhaul::tr("同时连接数："), connections_);
    top->addWidget(downloadBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* clear = buttons->addButton(Romhaul::tr("清除输入记录"), QDialogButtonBox::ResetRole);
    clear->setObjectName(QStringLiteral("clearHistory"));
    connect(clear, &QPushButton::clicked, this, [this] {
        QString reason;
        if (!clearInputHistory(&reason))
            warn(this, Romhaul::tr("设置文件无法写入：%1").arg(QDir::toNativeSeparators(reason)));
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    top->addWidget(buttons);
    updateProxyFields();
}

void SettingsDialog::showSettings(const Settings& s) {
    startLanguage_ = s.language;
    language_->setCurrentIndex(std::max(0, language_->findData(s.language)));
    for (int i = 0; i < kServiceCount; ++i) hosts_[i]->setText(s.hosts[i]);
    proxyMode_->setCurrentIndex(int(s.proxy.mode));
    proxyHost_->setText(s.proxy.host);
    proxyPort_->setValue(s.proxy.port);
    proxyUser_->setText(s.proxy.user);
    proxyPassword_->setText(s.proxy.password);
    downloadFolder_->setText(s.downloadFolder);
    connections_->setValue(s.connections);
    updateProxyFields();
}

Settings SettingsDialog::settings() const {
    Settings s;
    s.language = language_->currentData().toString();
    for (int i = 0; i < kServiceCount; ++i) s.hosts[i] = hosts_[i]->text().trimmed();
    s.proxy.mode = ProxySetting::Mode(proxyMode_->currentIndex());
    s.proxy.host = proxyHost_->text().trimmed();
    s.proxy.port = proxyPort_->value();
    s.proxy.user = proxyUser_->text();
    s.proxy.password = proxyPassword_->text();
    s.downloadFolder = downloadFolder_->text().trimmed();
    s.connections = connections_->value();
    return s;
}

void SettingsDialog::updateProxyFields() {
    const int mode = proxyMode_->currentIndex();
    const bool manual = mode == ProxySetting::Http || mode == ProxySetting::Socks5;
    for (QWidget* field :
         std::initializer_list<QWidget*>{proxyHost_, proxyPort_, proxyUser_, proxyPassword_})
        field->setEnabled(manual);
}

void SettingsDialog::accept() {
    const Settings s = settings();
    const bool manual = s.proxy.mode == ProxySetting::Http || s.proxy.mode == ProxySetting::Socks5;
    if (manual && (s.proxy.host.isEmpty() || s.proxy.port == 0)) {
        warn(this, Romhaul::tr("请填写代理的主机和端口。"));
        return;
    }
    QString reason;
    if (!saveSettings(s, &reason)) {
        warn(this, Romhaul::tr("设置文件无法写入：%1").arg(QDir::toNativeSeparators(reason)));
        return;
    }
    if (!applySettings(s)) {
        warn(this, Romhaul::tr("代理设置无效，请检查主机和端口。"));
        return;
    }
    if (s.language != startLanguage_)
        QMessageBox::information(this, Romhaul::tr("信息："),
                                 Romhaul::tr("新的语言在下次启动时生效。"));
    QDialog::accept();
}

void openSettingsDialog(QWidget* parent) {
    SettingsDialog dialog(parent);
    dialog.showSettings(loadSettings());
    dialog.exec();
}
