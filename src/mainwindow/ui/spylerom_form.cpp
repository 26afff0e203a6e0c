// The main window's handlers and its side of the fill: the engine sets values and states
// through FillWindow, and the window shows them, painting a writing pass's progress a few
// times a second while it handles messages after every cycle.
#include "mainwindow/ui/spylerom_form.h"

#include "frame/launch.h"
#include "frame/placement.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "gui/screen_cursor.h"
#include "platform/platform.h"
#include "printing/ui/widget_placement.h"
#include "sysinfo/system_facts.h"
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
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <exception>

namespace spylerom::mainwindow {

namespace {

constexpr int kClientWidth = 659;
constexpr int kClientHeight = 375;
// The window's outer size as designed; the fixed client area keeps it whatever is stored.
constexpr int kOuterWidth = 667;
constexpr int kOuterHeight = 421;

// Where the window keeps its place and its choices in the per-user settings.
constexpr const char* kPlacementName = "SpyleRomVindu";
constexpr const char* kChoicesSection = "Spylerom";
// Beside the drive's list position ("Stasjon"): its root, which still names it when the list
// has changed between runs.
constexpr const char* kDriveRootKey = "StasjonRot";

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

// Ends the message loop after the current message without closing any window: a quit request
// would close them all first, and so run the main window's close handling.
void endMessageLoop() {
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

// Runs a handler; an exception it lets out is logged instead of ending the program.
template <typename Handler> void guarded(const char* name, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        frame::WriteLog(std::string("FEIL: ") + name + ": " + e.what());
    } catch (...) {
        frame::WriteLog(std::string("FEIL: ") + name);
    }
}

} // namespace

TSpyleRomForm::TSpyleRomForm(QWidget* parent) : QMainWindow(parent), engine_(*this) {
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
    FormCreate();
}

TSpyleRomForm::~TSpyleRomForm() = default;

void TSpyleRomForm::connectHandlers() {
    connect(Startknapp, &QPushButton::clicked, this, &TSpyleRomForm::Spyleromen);
    connect(StoppKnapp, &QPushButton::clicked, this, &TSpyleRomForm::StoppKnappClick);
    connect(Stasjon, &QComboBox::currentIndexChanged, this, &TSpyleRomForm::StasjonChange);
    connect(TrackBar1, &QSlider::valueChanged, this, &TSpyleRomForm::TrackBar1Change);
    connect(Avslytt1, &QAction::triggered, this, &TSpyleRomForm::Avslytt1Click);
    connect(Vislogg1, &QAction::triggered, this, &TSpyleRomForm::Vislogg1Click);
    connect(Systeminformasjon1, &QAction::triggered, this, &TSpyleRomForm::Systeminformasjon1Click);
    connect(Direkteoppdateringfrainternett1, &QAction::triggered, this,
            &TSpyleRomForm::Direkteoppdateringfrainternett1Click);
    for (QWidget* choice : {static_cast<QWidget*>(Stasjon), static_cast<QWidget*>(FyllCombo),
                            static_cast<QWidget*>(TrackBar1), static_cast<QWidget*>(BlockCombo)})
        choice->installEventFilter(this);
}

void TSpyleRomForm::fillDriveList() {
    Stasjon->clear();
    // Each item carries its drive's root (mount point), by which a stored choice is found again.
    for (const platform::Drive& drive : platform::sys().drives())
        Stasjon->addItem(QString::fromStdString(drive.itemText), QString::fromStdString(drive.root));
}

int TSpyleRomForm::storedDrive(int position, const std::string& root) const {
    // 0, or nothing stored, means the last drive; so the first drive is never restored.
    if (position == 0)
        return Stasjon->count() - 1;
    // Without a stored root (settings of an older version) the position alone decides. With
    // one, the drive list may have changed since: the same drive wherever it stands now, or
    // none when it is gone, never the drive that took its place.
    if (root.empty())
        return position;
    return Stasjon->findData(QString::fromStdString(root));
}

void TSpyleRomForm::FormCreate() {
    frame::WriteLog("- PROGRAMMET STARTER -");
    printing::WidgetPlacement placement(*this);
    std::string extra;
    frame::RestorePlacement(placement, kPlacementName, extra);
    // Only the stored position and maximized state count: the window keeps its designed size.
    placement.setHeight(kOuterHeight);
    placement.setWidth(kOuterWidth);
    {
        // The drive's status is refreshed once, below, and the repetitions once the bar is set.
        const QSignalBlocker quietDrives(Stasjon);
        const QSignalBlocker quietBar(TrackBar1);
        fillDriveList();
        readChoices();
    }
    TrackBar1Change();
    engine_.StasjonChange(true);
}

void TSpyleRomForm::readChoices() {
    frame::OpenUserSettings();
    frame::SelectSection(kChoicesSection);
    selectItem(FyllCombo, frame::ReadSettingInteger("Fyll"));
    TrackBar1->setValue(frame::ReadSettingInteger("Gjentagelser")); // kept within 1..10
    selectItem(Stasjon,
               storedDrive(frame::ReadSettingInteger("Stasjon"), frame::ReadSettingString(kDriveRootKey)));
    selectItem(BlockCombo, frame::ReadSettingInteger("Blokk"));
    frame::ResetSection();
    frame::CloseUserSettings();
}

void TSpyleRomForm::FormClose() {
    if (formClosed_)
        return;
    formClosed_ = true;
    printing::WidgetPlacement placement(*this);
    frame::SavePlacement(placement, kPlacementName, "");
    writeChoices();
    frame::WriteLog("- PROGRAMMET AVSLUTTES -");
}

void TSpyleRomForm::writeChoices() {
    frame::OpenUserSettings();
    frame::SelectSection(kChoicesSection);
    frame::WriteSettingInteger("Fyll", FyllCombo->currentIndex());
    frame::WriteSettingInteger("Gjentagelser", TrackBar1->value());
    frame::WriteSettingInteger("Stasjon", Stasjon->currentIndex());
    frame::WriteSettingInteger("Blokk", BlockCombo->currentIndex());
    frame::WriteSettingString(kDriveRootKey, Stasjon->currentData().toString().toStdString());
    frame::ResetSection();
    frame::CloseUserSettings();
}

// --- Choices ------------------------------------------------------------------------------

std::string TSpyleRomForm::driveText() const {
    return Stasjon->currentText().toStdString();
}

int TSpyleRomForm::fillIndex() const {
    return FyllCombo->currentIndex();
}

int TSpyleRomForm::blockIndex() const {
    return BlockCombo->currentIndex();
}

std::string TSpyleRomForm::blockText(int index) const {
    return BlockCombo->itemText(index).toStdString();
}

int TSpyleRomForm::trackBarPosition() const {
    return TrackBar1->value();
}

// --- Progress -----------------------------------------------------------------------------

void TSpyleRomForm::setPassBar(int position) {
    pending_.passBar = position;
    progressChanged();
}

void TSpyleRomForm::setTotalBar(int position) {
    pending_.totalBar = position;
    progressChanged();
}

void TSpyleRomForm::setProgressText(const std::string& text) {
    pending_.progressText = QString::fromStdString(text);
    progressChanged();
}

void TSpyleRomForm::setUsageBar(int maximum, int position) {
    pending_.usageBar = std::make_pair(maximum, position);
    progressChanged();
}

void TSpyleRomForm::setStatusText(const std::string& text) {
    pending_.statusText = QString::fromStdString(text);
    progressChanged();
}

void TSpyleRomForm::progressChanged() {
    // A writing pass sets these every cycle; they are shown when the window is next painted.
    if (!engine_.passActive())
        showProgress();
}

void TSpyleRomForm::showProgress() {
    if (pending_.passBar)
        pbar->setValue(std::clamp(*pending_.passBar, 0, 100));
    if (pending_.totalBar)
        pbar2->setValue(std::clamp(*pending_.totalBar, 0, 100));
    if (pending_.progressText)
        plabel->setText(*pending_.progressText);
    if (pending_.usageBar) {
        // A range of 0..0 would make the bar an endless busy indicator: a drive without a
        // measurable size shows as an empty bar.
        const int maximum = std::max(pending_.usageBar->first, 1);
        Bar->setRange(0, maximum);
        Bar->setValue(std::clamp(pending_.usageBar->second, 0, maximum));
    }
    if (pending_.statusText)
        status->setText(*pending_.statusText);
    pending_ = Progress{};
}

void TSpyleRomForm::setRepetitionText(const std::string& text) {
    antLabel->setText(QString::fromStdString(text));
}

void TSpyleRomForm::setStartNoticeVisible(bool visible) {
    StartMemo->setVisible(visible);
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

void TSpyleRomForm::showIdle() {
    // The button that takes the focus is enabled first, so the focus never wanders through the
    // choices (and their notices) on its way.
    Startknapp->setEnabled(true);
    Startknapp->setFocus();
    StoppKnapp->setEnabled(false);
    ValgGruppe->setEnabled(true);
    Stasjon->setEnabled(true);
    showProgress();
}

void TSpyleRomForm::showRunning() {
    StoppKnapp->setEnabled(true);
    StoppKnapp->setFocus();
    Startknapp->setEnabled(false);
    ValgGruppe->setEnabled(false);
    Stasjon->setEnabled(false);
}

void TSpyleRomForm::repaintAndProcessEvents() {
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kRepaintIntervalMs) {
        showProgress();
        repaint();
        sincePaint_.start();
    }
    QCoreApplication::processEvents();
}

// --- Handlers -------------------------------------------------------------------------------

void TSpyleRomForm::Spyleromen() {
    // Stop enables START while the stopped pass still cleans up; that click is not a new run.
    if (engine_.runActive())
        return;
    sincePaint_.invalidate();
    guarded("Spyleromen", [&] { engine_.Spyleromen(); });
    afterRun();
}

void TSpyleRomForm::afterRun() {
    showProgress();
    if (quitAfterRun_)
        endMessageLoop();
    else if (closeAfterRun_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    quitAfterRun_ = closeAfterRun_ = false;
}

void TSpyleRomForm::StoppKnappClick() {
    guarded("StoppKnappClick", [&] { engine_.StoppKnappClick(); });
    // The pass closes and deletes its files without handling messages: the idle buttons and
    // the clean-up notice are painted now, before it does.
    showProgress();
    repaint();
}

void TSpyleRomForm::StasjonChange() {
    guarded("StasjonChange", [&] { engine_.StasjonChange(true); });
}

void TSpyleRomForm::TrackBar1Change() {
    guarded("TrackBar1Change", [&] { engine_.TrackBar1Change(); });
}

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

void TSpyleRomForm::Avslytt1Click() {
    close();
}

void TSpyleRomForm::Vislogg1Click() {
    // The file as last saved; the lines of this run reach it when the program ends.
    guarded("Vislogg1Click", [] { frame::LaunchFile(frame::logState().LogFileName, "", ""); });
}

void TSpyleRomForm::Systeminformasjon1Click() {
    guarded("Systeminformasjon1Click", [] {
        sysinfo::InfoProgramnavn = "Spylerom";
        sysinfo::VisSystemInfo();
    });
}

void TSpyleRomForm::Direkteoppdateringfrainternett1Click() {
    // Ends the message loop through the frame's quit request, which waits for a running fill
    // to clean up; the window is destroyed without closing, so FormClose does not run.
    guarded("Direkteoppdateringfrainternett1Click", [] { frame::StartProgramUpdate(); });
}

void TSpyleRomForm::quitWhenIdle() {
    if (!engine_.runActive()) {
        endMessageLoop();
        return;
    }
    quitAfterRun_ = true;
    if (!fill::fillState().StopRequested)
        StoppKnappClick();
}

void TSpyleRomForm::closeEvent(QCloseEvent* event) {
    if (engine_.runActive()) {
        // Ending the program must not leave a fill writing on unseen, nor its files on the
        // disk: the run is stopped, and the window closes once the pass has cleaned up.
        closeAfterRun_ = true;
        if (!fill::fillState().StopRequested)
            StoppKnappClick();
        event->ignore();
        return;
    }
    guarded("FormClose", [&] { FormClose(); });
    event->accept();
    emit closed();
}

bool TSpyleRomForm::eventFilter(QObject* watched, QEvent* event) {
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
