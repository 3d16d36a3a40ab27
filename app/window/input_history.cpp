#include "app/window/input_history.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStringListModel>
#include <QStyle>

#include "app/window/qt_text.h"
#include "app/window/settings.h"

InputHistory::InputHistory(QLineEdit* box, QString key, QStringList suggestions)
    : QObject(box), box_(box), key_(std::move(key)), suggestions_(std::move(suggestions)) {
    setObjectName(QStringLiteral("inputHistory"));
    model_ = new QStringListModel(this);
    completer_ = new QCompleter(model_, this);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setFilterMode(Qt::MatchStartsWith);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    box_->setCompleter(completer_);
    auto* drop = box_->addAction(box_->style()->standardIcon(QStyle::SP_ArrowDown),
                                 QLineEdit::TrailingPosition);
    drop->setObjectName(QStringLiteral("showHistory"));
    drop->setToolTip(Romhaul::tr("最近的输入"));
    connect(drop, &QAction::triggered, this, &InputHistory::dropDown);
    box_->installEventFilter(this);
    reload();
}

QStringList InputHistory::offered() const {
    QStringList list = inputHistory(key_);
    for (const QString& s : suggestions_)
        if (!list.contains(s)) list.append(s);
    return list;
}

void InputHistory::reload() {
    model_->setStringList(offered());
}

void InputHistory::remember() {
    // A search has started: the offers are done with (and Esc is the search's again).
    completer_->popup()->hide();
    QString reason;
    if (!rememberInput(key_, box_->text(), &reason)) {
        // Said once a run: a search is not the moment for a box at every press.
        static bool told = false;
        if (!told) {
            told = true;
            QMessageBox::warning(
                box_->window(), Romhaul::tr("信息："),
                Romhaul::tr("设置文件无法写入：%1").arg(QDir::toNativeSeparators(reason)));
        }
    }
    reload();
}

void InputHistory::dropDown() {
    reload();
    if (model_->rowCount() == 0) return;
    box_->setFocus();
    completer_->setCompletionPrefix(QString());
    completer_->complete();
}

bool InputHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_) {
        if (event->type() == QEvent::FocusIn) reload();
        if (event->type() == QEvent::KeyPress && box_->text().isEmpty() &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
            dropDown();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

InputHistory* inputHistoryOf(const QLineEdit* box) {
    return box->findChild<InputHistory*>(QStringLiteral("inputHistory"),
                                         Qt::FindDirectChildrenOnly);
}

QStringList demoInputs(const char* page) {
    const QString all = qEnvironmentVariable("ROMHAUL_DEMO_INPUTS");
    const QString prefix = QString::fromLatin1(page) + u'=';
    for (const QString& part : all.split(u';', Qt::SkipEmptyParts)) {
        if (!part.trimmed().startsWith(prefix)) continue;
        QStringList inputs;
        for (const QString& input : part.trimmed().mid(prefix.size()).split(u',')) {
            const QString text = input.trimmed();
            if (!text.isEmpty() && !inputs.contains(text) && inputs.size() < kHistorySize)
                inputs.append(text);
        }
        return inputs;
    }
    return {};
}
