#include "app/window/settings.h"

#include <QFile>
#include <algorithm>

namespace {

const char* const kHostKeys[kServiceCount] = {"hosts/huawei", "hosts/zte", "hosts/coolpad",
                                              "hosts/lg", "hosts/iphone"};

const char* const kModes[] = {"none", "system", "http", "socks5"};

bool writeOut(QSettings& store, QString* reason) {
    store.sync();
    // The file holds the proxy password and the serials of customers' phones: the owner
    // alone reads it. Later writes replace the file with one of the same permissions.
    QFile::setPermissions(store.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (store.status() == QSettings::NoError) return true;
    if (reason) *reason = store.fileName();
    return false;
}

}  // namespace

std::unique_ptr<QSettings> settingsStore() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("romhaul"), QStringLiteral("romhaul"));
}

Settings loadSettings() {
    auto store = settingsStore();
    Settings s;
    s.language = store->value("language").toString();
    if (s.language != "zh" && s.language != "en") s.language.clear();
    for (int i = 0; i < kServiceCount; ++i)
        s.hosts[i] = store->value(kHostKeys[i]).toString().trimmed();
    const QString mode = store->value("proxy/mode", "system").toString();
    for (int m = 0; m < 4; ++m)
        if (mode == kModes[m]) s.proxy.mode = ProxySetting::Mode(m);
    s.proxy.host = store->value("proxy/host").toString().trimmed();
    s.proxy.port = std::clamp(store->value("proxy/port", 0).toInt(), 0, 65535);
    s.proxy.user = store->value("proxy/user").toString();
    s.proxy.password = store->value("proxy/password").toString();
    if ((s.proxy.mode == ProxySetting::Http || s.proxy.mode == ProxySetting::Socks5) &&
        s.proxy.host.isEmpty())
        s.proxy.mode = ProxySetting::System;
    s.downloadFolder = store->value("downloads/folder").toString();
    s.connections = std::clamp(store->value("downloads/connections", 4).toInt(), 1, 16);
    return s;
}

bool saveSettings(const Settings& s, QString* reason) {
    auto store = settingsStore();
    store->setValue("language", s.language);
    for (int i = 0; i < kServiceCount; ++i) store->setValue(kHostKeys[i], s.hosts[i].trimmed());
    store->setValue("proxy/mode", kModes[s.proxy.mode]);
    store->setValue("proxy/host", s.proxy.host.trimmed());
    store->setValue("proxy/port", s.proxy.port);
    store->setValue("proxy/user", s.proxy.user);
    store->setValue("proxy/password", s.proxy.password);
    store->setValue("downloads/folder", s.downloadFolder);
    store->setValue("downloads/connections", s.connections);
    return writeOut(*store, reason);
}

QStringList inputHistory(const QString& box) {
    QStringList list = settingsStore()->value("history/" + box).toStringList();
    list.removeAll(QString());
    if (list.size() > kHistorySize) list = list.mid(0, kHistorySize);
    return list;
}

bool rememberInput(const QString& box, const QString& input, QString* reason) {
    const QString text = input.trimmed();
    if (text.isEmpty()) return true;
    QStringList list = inputHistory(box);
    list.removeAll(text);
    list.prepend(text);
    while (list.size() > kHistorySize) list.removeLast();
    auto store = settingsStore();
    store->setValue("history/" + box, list);
    return writeOut(*store, reason);
}

bool clearInputHistory(QString* reason) {
    auto store = settingsStore();
    store->remove("history");
    return writeOut(*store, reason);
}
