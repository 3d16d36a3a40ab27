#include "app/window/hyperlink.h"

#include "app/window/qt_text.h"
#include "platform/shell.h"

Hyperlink::Hyperlink(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::RichText);
    setOpenExternalLinks(false);
    // Clickable with the mouse only: hyperlinks are no tab stops.
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QLabel::linkActivated, this, [this] {
        const std::string address = fromQt(address_);
        win::ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, 1);
    });
}

void Hyperlink::setLink(const QString& caption, const QString& address) {
    caption_ = caption;
    address_ = address;
    setText(QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(address.toHtmlEscaped(), caption.toHtmlEscaped()));
}
