#pragma once
// A hyperlink control: shows its caption as a link and opens its address in the default
// browser when clicked, through the shell's "open" (so tests see it via the shell opener).
#include <QLabel>

class Hyperlink : public QLabel {
    Q_OBJECT
  public:
    explicit Hyperlink(QWidget* parent = nullptr);
    void setLink(const QString& caption, const QString& address);
    QString caption() const { return caption_; }
    QString address() const { return address_; }

  private:
    QString caption_;
    QString address_;
};
