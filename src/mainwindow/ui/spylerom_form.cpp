// The Qt main window's side of MainView: it shows what the controller tells it, hands its
// controls' events to the controller, and shows the choices' notices on focus.
#include "mainwindow/ui/spylerom_form.h"

#include "gui/screen_cursor.h"
#include "sysinfo/ui/sysinfo_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcutEvent>
#include <QSignalBlocker>
#include <QSlider>

namespace spylerom::mainwindow {

namespace {

constexpr int kClientWidth = 659;
constexpr int kClientHeight = 375;
// The window's outer size as designed; the fixed client area keeps it whatever is stored.
// Selects item index of a list; an index the list does not have leaves it without a selection.
void selectItem(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// Tahoma and MS Sans Serif are Windows fonts; elsewhere the closest sans serif of the system
// stands in, so the texts keep their designed widths.
void installFontSubstitutes() {
    const QStringList similar = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                 QStringLiteral("DejaVu Sans")};
    for (const QString& family : {QStringLiteral("Tahoma"), QStringLiteral("MS Sans Serif")})
        if (QFont::substitutes(family).isEmpty())
            QFont::insertSubstitutions(family, similar);
}

} // namespace

TSpyleRomForm::TSpyleRomForm(QWidget* parent) : QMainWindow(parent), placement_(*this), controller_(*this) {
    installFontSubstitutes();
    setObjectName("SpyleRomForm");
    setWindowTitle(QStringLiteral("SpyleRom 2.07"));
    // A fixed single border with the system menu and a minimize button, no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    buildMenu();
    buildChoices(client);
    buildStatus(client);
    buildButtons(client);
    buildPanel(client);
    buildNotices(client);
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    connectHandlers();
    Startknapp->setFocus();
    controller_.FormCreate();
}

TSpyleRomForm::~TSpyleRomForm() = default;

void TSpyleRomForm::connectHandlers() {
    MainController* c = &controller_;
    connect(Startknapp, &QPushButton::clicked, this, [c] { c->Spyleromen(); });
    connect(StoppKnapp, &QPushButton::clicked, this, [c] { c->StoppKnappClick(); });
    connect(Stasjon, &QComboBox::currentIndexChanged, this, [c] { c->StasjonChange(); });
    connect(TrackBar1, &QSlider::valueChanged, this, [c] { c->TrackBar1Change(); });
    connect(Avslytt1, &QAction::triggered, this, [c] { c->Avslytt1Click(); });
    connect(Vislogg1, &QAction::triggered, this, [c] { c->Vislogg1Click(); });
    connect(Systeminformasjon1, &QAction::triggered, this, [c] { c->Systeminformasjon1Click(); });
    connect(Direkteoppdateringfrainternett1, &QAction::triggered, this,
            [c] { c->Direkteoppdateringfrainternett1Click(); });
    for (QWidget* choice : {static_cast<QWidget*>(Stasjon), static_cast<QWidget*>(FyllCombo),
                            static_cast<QWidget*>(TrackBar1), static_cast<QWidget*>(BlockCombo)})
        choice->installEventFilter(this);
    Startknapp->installEventFilter(this);
    StoppKnapp->installEventFilter(this);
}

// --- Choices ------------------------------------------------------------------------------

int TSpyleRomForm::fillIndex() const {
    return FyllCombo->currentIndex();
}

int TSpyleRomForm::blockIndex() const {
    return BlockCombo->currentIndex();
}

int TSpyleRomForm::trackBarPosition() const {
    return TrackBar1->value();
}

int TSpyleRomForm::driveIndex() const {
    return Stasjon->currentIndex();
}

void TSpyleRomForm::setDriveItems(const std::vector<DriveItem>& items) {
    const QSignalBlocker quiet(Stasjon);
    Stasjon->clear();
    for (const DriveItem& item : items)
        Stasjon->addItem(QString::fromStdString(item.text));
}

void TSpyleRomForm::selectDrive(int index) {
    const QSignalBlocker quiet(Stasjon);
    selectItem(Stasjon, index);
}

void TSpyleRomForm::selectFill(int index) {
    selectItem(FyllCombo, index);
}

void TSpyleRomForm::selectBlock(int index) {
    selectItem(BlockCombo, index);
}

void TSpyleRomForm::setTrackBarPosition(int position) {
    const QSignalBlocker quiet(TrackBar1);
    TrackBar1->setValue(position); // the slider keeps it within 1..10
}

// --- Progress -----------------------------------------------------------------------------

void TSpyleRomForm::showPassBar(int position) {
    pbar->setValue(position);
}

void TSpyleRomForm::showTotalBar(int position) {
    pbar2->setValue(position);
}

void TSpyleRomForm::showProgressText(const std::string& text) {
    plabel->setText(QString::fromStdString(text));
}

void TSpyleRomForm::showUsageBar(int maximum, int position) {
    Bar->setRange(0, maximum);
    Bar->setValue(position);
}

void TSpyleRomForm::showStatusText(const std::string& text) {
    status->setText(QString::fromStdString(text));
}

void TSpyleRomForm::setRepetitionText(const std::string& text) {
    antLabel->setText(QString::fromStdString(text));
}

void TSpyleRomForm::setStartNoticeVisible(bool visible) {
    StartMemo->setVisible(visible);
}

void TSpyleRomForm::setStartNoticeLines(const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    StartMemo->setPlainText(text.join(QLatin1Char('\n')));
}

void TSpyleRomForm::setWaitNoticeVisible(bool visible) {
    VentMemo->setVisible(visible);
}

void TSpyleRomForm::setPointer(fill::Pointer pointer) {
    switch (pointer) {
    case fill::Pointer::Busy:
        gui::setScreenCursor(Qt::WaitCursor);
        break;
    case fill::Pointer::Background:
        gui::setScreenCursor(Qt::BusyCursor);
        break;
    case fill::Pointer::Normal:
        gui::setScreenCursor(std::nullopt);
        break;
    }
}

void TSpyleRomForm::showIdleButtons() {
    // The button that takes the focus is enabled first, so the focus never wanders through the
    // choices (and their notices) on its way.
    Startknapp->setEnabled(true);
    Startknapp->setFocus();
    StoppKnapp->setEnabled(false);
    ValgGruppe->setEnabled(true);
    Stasjon->setEnabled(true);
}

void TSpyleRomForm::showRunningButtons() {
    StoppKnapp->setEnabled(true);
    StoppKnapp->setFocus();
    Startknapp->setEnabled(false);
    ValgGruppe->setEnabled(false);
    Stasjon->setEnabled(false);
}

void TSpyleRomForm::repaintNow() {
    repaint();
}

void TSpyleRomForm::processMessages() {
    QCoreApplication::processEvents();
}

void TSpyleRomForm::closeNow() {
    close();
}

void TSpyleRomForm::closeLater() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TSpyleRomForm::endMessageLoop() {
    // A quit request would close every window first, and so run the main window's close
    // handling: the loop ends after the current message instead.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void TSpyleRomForm::showSystemInformation() {
    sysinfo::VisSystemInfo();
}

// --- Notices --------------------------------------------------------------------------------

void TSpyleRomForm::StasjonEnter() {
    StasjonMemo->show();
}
void TSpyleRomForm::StasjonExit() {
    StasjonMemo->hide();
}
void TSpyleRomForm::FyllComboEnter() {
    FyllMemo->show();
}
void TSpyleRomForm::FyllComboExit() {
    FyllMemo->hide();
}
void TSpyleRomForm::TrackBar1Enter() {
    RepeatMemo->show();
}
void TSpyleRomForm::TrackBar1Exit() {
    RepeatMemo->hide();
}
void TSpyleRomForm::BlockComboEnter() {
    BlockMemo->show();
}
void TSpyleRomForm::BlockComboExit() {
    BlockMemo->hide();
}

void TSpyleRomForm::closeEvent(QCloseEvent* event) {
    if (!controller_.closeRequested()) {
        event->ignore(); // a run is being stopped; the window closes after its clean-up
        return;
    }
    event->accept();
    emit closed();
}

bool TSpyleRomForm::eventFilter(QObject* watched, QEvent* event) {
    // A button's key (Alt+S: START when idle, Stopp while running) would show the button
    // pressed for a tenth of a second before it clicks; START and Stop act on the key itself.
    if (event->type() == QEvent::Shortcut && (watched == Startknapp || watched == StoppKnapp) &&
        !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        static_cast<QPushButton*>(watched)->click();
        return true;
    }
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return QMainWindow::eventFilter(watched, event);
    // A drop-down list opening (its list takes the keyboard), or another program taking the
    // focus, does not leave the choice.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason ||
        (event->type() == QEvent::FocusOut && QApplication::activePopupWidget()))
        return false;
    const bool enter = event->type() == QEvent::FocusIn;
    if (watched == Stasjon)
        enter ? StasjonEnter() : StasjonExit();
    else if (watched == FyllCombo)
        enter ? FyllComboEnter() : FyllComboExit();
    else if (watched == TrackBar1)
        enter ? TrackBar1Enter() : TrackBar1Exit();
    else if (watched == BlockCombo)
        enter ? BlockComboEnter() : BlockComboExit();
    return false;
}

} // namespace spylerom::mainwindow
