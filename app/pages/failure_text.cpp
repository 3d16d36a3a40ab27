#include "app/pages/failure_text.h"

#include <QLabel>
#include <algorithm>

#include "app/window/qt_text.h"

namespace {

// Made in the window's language here, for the failure's detail and the host are not
// program texts that uiText() could find afterwards.
QString serviceName(VendorService service) {
    switch (service) {
        case VendorService::Huawei:
            return Romhaul::tr("华为");
        case VendorService::Zte:
            return Romhaul::tr("中兴");
        case VendorService::Coolpad:
            return Romhaul::tr("酷派");
        case VendorService::Lg:
            return QStringLiteral("LG");
        case VendorService::Iphone:
            return Romhaul::tr("iPhone 固件目录");
    }
    return {};
}

QString reason(const Failure& failure) {
    switch (failure.kind) {
        case FailureKind::Network:
            return Romhaul::tr("网络错误：") + toQt(failure.detail);
        case FailureKind::HttpStatus:
            return Romhaul::tr("服务返回 HTTP 状态 %1").arg(failure.httpStatus);
        case FailureKind::TooLarge:
            return Romhaul::tr("回复过大");
        case FailureKind::Unreadable:
            return Romhaul::tr("回复无法读取");
        case FailureKind::None:
            break;
    }
    return {};
}

}  // namespace

std::string lookupFailureMessage(VendorService service, const Failure& failure) {
    return fromQt(Romhaul::tr("%1 服务请求失败（%2）：%3")
                      .arg(serviceName(service), toQt(serviceHost(service)), reason(failure)));
}

QString tooComplexNote() {
    return Romhaul::tr("回复太复杂，未能读完，列表可能不完整。");
}

void showHintNote(QLabel* line, const QString& note) {
    line->setText(note);
    const QWidget* box = line->parentWidget();
    if (!box) return;
    // As far as the group box's right edge, with the margin the line keeps on its left.
    const int room = box->width() - 2 * line->x();
    const int wanted = line->fontMetrics().horizontalAdvance(note) + 2 * line->margin() + 2;
    if (wanted > line->width() && room > line->width())
        line->resize(std::min(wanted, room), line->height());
}
