// The window's controls: positions and sizes in pixels (not scaled with the
// screen's resolution), captions, fonts and colours.

#include <QFrame>
#include <QRect>

#include "app/port_map.h"
#include "app/qt/main_form.h"
#include "app/qt/window_fonts.h"
#include "app/qt/window_icon.h"

namespace {

constexpr QSize kClientSize(384, 278);

constexpr QRect kTitleRect(0, 16, 382, 19);
constexpr QRect kPanel1Rect(8, 49, 369, 2);
constexpr QRect kGroupBox1Rect(71, 67, 113, 65);
constexpr QRect kPortRect(32, 24, 25, 21);     // in GroupBox1
constexpr QRect kUpDown1Rect(57, 24, 15, 21);  // in GroupBox1
constexpr QRect kUpdateRect(199, 89, 113, 25);
constexpr QRect kLabel2Rect(200, 121, 54, 13);
constexpr QRect kNPacRect(273, 121, 6, 13);
constexpr QRect kLabel3Rect(203, 139, 51, 13);
constexpr QRect kTPacRect(273, 139, 6, 13);
constexpr QRect kPanel3Rect(7, 153, 369, 2);
constexpr QRect kGroupBox2Rect(10, 168, 365, 97);
constexpr QRect kPanel2Rect(62, 24, 240, 28);        // in GroupBox2
constexpr QPoint kStatusPosition(5, 6);              // in Panel2
constexpr QRect kProgressBarRect(62, 59, 240, 20);  // in GroupBox2

constexpr int kInitialPort = 1;
constexpr const char* kInitialStatus = "          ";  // ten blanks
constexpr const char* kCountsUnknown = "--";

const QColor kTitleColour(0, 0, 255);

// Group boxes drawn the classic way: an etched frame whose top line runs
// through the middle of the caption, the caption near the left end of it.
const char* const kGroupBoxStyle =
    "QGroupBox { border: 2px groove palette(mid); border-radius: 0px; margin-top: 6px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px;"
    " top: 0px; padding: 0px 1px; }";
const QColor kGaugeControlColour(255, 0, 0);

template <typename Control>
Control* Place(Control* control, const QRect& rect, const char* name) {
    control->setGeometry(rect);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

QFrame* EtchedLine(QWidget* owner, const QRect& rect, const char* name) {
    auto* line = Place(new QFrame(owner), rect, name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setLineWidth(1);
    line->setMidLineWidth(0);
    return line;
}

QLabel* HiddenLabel(QWidget* owner, const QRect& rect, const char* name, const char* caption) {
    auto* label = Place(new QLabel(QString::fromLatin1(caption), owner), rect, name);
    label->hide();
    return label;
}

}  // namespace

void TMainForm::BuildControls() {
    // Every `new` below is owned by its Qt parent, and so by the window.
    setObjectName(QStringLiteral("MainForm"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setFont(WindowFont());
    setWindowIcon(WindowIcon());

    lblMainTitle = Place(new QLabel(this), kTitleRect, "lblMainTitle");
    lblMainTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblMainTitle->setFont(TitleFont());
    QPalette titlePalette = lblMainTitle->palette();
    titlePalette.setColor(QPalette::WindowText, kTitleColour);
    lblMainTitle->setPalette(titlePalette);

    Panel1 = EtchedLine(this, kPanel1Rect, "Panel1");

    GroupBox1 = Place(new QGroupBox(QStringLiteral("Select Com Port"), this), kGroupBox1Rect, "GroupBox1");
    GroupBox1->setStyleSheet(QString::fromLatin1(kGroupBoxStyle));
    Port = Place(new QLineEdit(GroupBox1), kPortRect, "Port");
    UpDown1 = Place(new TUpDown(app::kMinPort, app::kMaxPort, kInitialPort, GroupBox1), kUpDown1Rect, "UpDown1");
    UpDown1->SetAssociate(Port);

    update = Place(new QPushButton(QStringLiteral("Update Software"), this), kUpdateRect, "update");
    connect(update, &QPushButton::clicked, this, &TMainForm::updateClick);

    Label2 = HiddenLabel(this, kLabel2Rect, "Label2", "Bytes Sent:");
    NPac = HiddenLabel(this, kNPacRect, "NPac", kCountsUnknown);
    Label3 = HiddenLabel(this, kLabel3Rect, "Label3", "Byte Total:");
    TPac = HiddenLabel(this, kTPacRect, "TPac", kCountsUnknown);

    Panel3 = EtchedLine(this, kPanel3Rect, "Panel3");

    GroupBox2 = Place(new QGroupBox(QStringLiteral("Progress"), this), kGroupBox2Rect, "GroupBox2");
    GroupBox2->setStyleSheet(QString::fromLatin1(kGroupBoxStyle));
    Panel2 = Place(new QFrame(GroupBox2), kPanel2Rect, "Panel2");
    Panel2->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Panel2->setAutoFillBackground(true);
    QPalette panelPalette = Panel2->palette();
    panelPalette.setColor(QPalette::Window, Qt::white);
    Panel2->setPalette(panelPalette);

    Status = new QLabel(Panel2);
    Status->setObjectName(QStringLiteral("Status"));
    Status->move(kStatusPosition);
    QFont statusFont = WindowFont();
    statusFont.setBold(true);
    Status->setFont(statusFont);
    SetStatus(QString::fromLatin1(kInitialStatus));

    ProgressBar = Place(new TCGauge(GroupBox2), kProgressBarRect, "ProgressBar");
    ProgressBar->SetColor(kGaugeControlColour);

    // Tab order: the button first, then the port's edit box and spin buttons.
    setTabOrder(update, Port);
    setTabOrder(Port, UpDown1);
    update->setFocus();
}

void TMainForm::SetStatus(const QString& text) {
    Status->setText(text);
    Status->adjustSize();
    // Grows to the right with its text, clipped inside Panel2's frame.
    const int room = Panel2->contentsRect().right() + 1 - Status->x();
    if (Status->width() > room) Status->resize(room, Status->height());
    emit StatusShown(text);
}
