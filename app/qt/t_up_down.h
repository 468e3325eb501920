#pragma once
// TUpDown: a pair of spin buttons bound to an edit box. Each step reads the
// number in the box (keeping its own position when the text is no number in
// range), moves one up or down within Min ... Max, wrapping from the maximum
// to the minimum and back, and writes the new position into the box. The
// arrow keys step too, in the box and on the control.

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

class TUpDown : public QWidget {
    Q_OBJECT

public:
    TUpDown(int minimum, int maximum, int position, QWidget* owner = nullptr);

    // Binds the box whose text the buttons read and write (and whose arrow
    // keys they take). The position is written into it at once.
    void SetAssociate(QLineEdit* edit);

    int Min() const { return minimum_; }
    int Max() const { return maximum_; }
    // Returns the current position.
    int Position() const { return position_; }

    // One step up (+1) or down (-1), with wrap-around; writes the position.
    void StepBy(int direction);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Takes the associate's number as the position when it lies in range.
    void ReadAssociate();
    void WriteAssociate();

    int minimum_;
    int maximum_;
    int position_;
    QToolButton* up_;
    QToolButton* down_;
    QPointer<QLineEdit> associate_;
};
