#include "app/qt/t_up_down.h"

#include <QKeyEvent>

#include <algorithm>

#include "app/port_text.h"

namespace {

QToolButton* MakeArrowButton(Qt::ArrowType arrow, QWidget* owner) {
    auto* button = new QToolButton(owner);  // owned by `owner`
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    return button;
}

// The step an arrow key asks for, or 0 for other keys.
int StepOfKey(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Up) return 1;
    if (event.key() == Qt::Key_Down) return -1;
    return 0;
}

}  // namespace

TUpDown::TUpDown(int minimum, int maximum, int position, QWidget* owner)
    : QWidget(owner),
      minimum_(minimum),
      maximum_(std::max(minimum, maximum)),
      position_(std::clamp(position, minimum_, maximum_)),
      up_(MakeArrowButton(Qt::UpArrow, this)),
      down_(MakeArrowButton(Qt::DownArrow, this)) {
    setFocusPolicy(Qt::TabFocus);
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void TUpDown::SetAssociate(QLineEdit* edit) {
    if (associate_) associate_->removeEventFilter(this);
    associate_ = edit;
    if (associate_) {
        associate_->installEventFilter(this);
        WriteAssociate();
    }
}

void TUpDown::StepBy(int direction) {
    ReadAssociate();
    if (direction > 0) {
        position_ = position_ >= maximum_ ? minimum_ : position_ + 1;
    } else if (direction < 0) {
        position_ = position_ <= minimum_ ? maximum_ : position_ - 1;
    }
    WriteAssociate();
}

void TUpDown::ReadAssociate() {
    if (!associate_) return;
    const std::optional<std::int32_t> value = app::TextToInt32(associate_->text().toStdString());
    if (value && *value >= minimum_ && *value <= maximum_) position_ = *value;
}

void TUpDown::WriteAssociate() {
    if (associate_) associate_->setText(QString::number(position_));
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upperHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upperHeight);
    down_->setGeometry(0, upperHeight, width(), height() - upperHeight);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
    if (const int step = StepOfKey(*event); step != 0 && isEnabled()) {
        StepBy(step);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    // The type first: the box's own destruction passes through here too.
    if (event->type() == QEvent::KeyPress && watched == associate_ && isEnabled()) {
        if (const int step = StepOfKey(*static_cast<QKeyEvent*>(event)); step != 0) {
            StepBy(step);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
