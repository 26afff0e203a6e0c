// TSpyleRomForm (Qt): the main window. It shows the four choices, the fill's progress and the
// information panel with its notices; what the window decides beyond drawing (creation and
// close, the remembered choices, the run and its Stop, when progress is painted) is the
// MainController's, and the fill is the engine's. Its menu hands the log, the system
// information and the update to the frame and the dialog.
#pragma once

#include "mainwindow/main_controller.h"
#include "printing/ui/widget_placement.h"

#include <QMainWindow>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace spylerom::mainwindow {

class TSpyleRomForm : public QMainWindow, private MainView {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate; the window stays hidden until shown.
    explicit TSpyleRomForm(QWidget* parent = nullptr);
    ~TSpyleRomForm() override;

    fill::FillEngine& engine() { return controller_.engine(); }

    // Ends the program once no fill runs any more: at once when idle, otherwise after the
    // running pass has been stopped and has cleaned up (the window's close is not run).
    void quitWhenIdle() { controller_.quitWhenIdle(); }

    static constexpr int kRepaintIntervalMs = static_cast<int>(MainController::kRepaintInterval.count());

    // The notices of the choices, shown while a choice has the focus.
    void StasjonEnter();
    void StasjonExit();
    void FyllComboEnter();
    void FyllComboExit();
    void TrackBar1Enter();
    void TrackBar1Exit();
    void BlockComboEnter();
    void BlockComboExit();

signals:
    // The window has closed, which asks the program to end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // MainView.
    int fillIndex() const override;
    int blockIndex() const override;
    int trackBarPosition() const override;
    int driveIndex() const override;
    void setDriveItems(const std::vector<DriveItem>& items) override;
    void selectDrive(int index) override;
    void selectFill(int index) override;
    void selectBlock(int index) override;
    void setTrackBarPosition(int position) override;
    void showPassBar(int position) override;
    void showTotalBar(int position) override;
    void showProgressText(const std::string& text) override;
    void showUsageBar(int maximum, int position) override;
    void showStatusText(const std::string& text) override;
    void setRepetitionText(const std::string& text) override;
    void setStartNoticeVisible(bool visible) override;
    void setStartNoticeLines(const std::vector<std::string>& lines) override;
    void setWaitNoticeVisible(bool visible) override;
    void setPointer(fill::Pointer pointer) override;
    void showIdleButtons() override;
    void showRunningButtons() override;
    void repaintNow() override;
    void processMessages() override;
    void closeNow() override;
    void closeLater() override;
    void endMessageLoop() override;
    void showSystemInformation() override;
    frame::PlacementWindow& placement() override { return placement_; }

    void buildChoices(QWidget* client);
    void buildStatus(QWidget* client);
    void buildButtons(QWidget* client);
    void buildPanel(QWidget* client);
    void buildNotices(QWidget* client);
    void buildMenu();
    void connectHandlers();

    printing::WidgetPlacement placement_;
    MainController controller_;

    QGroupBox* ValgGruppe = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Stasjon = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* FyllCombo = nullptr;
    QLabel* antLabel = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* BlockCombo = nullptr;

    QGroupBox* GroupBox2 = nullptr;
    QLabel* plabel = nullptr;
    QProgressBar* pbar = nullptr;
    QProgressBar* pbar2 = nullptr;
    QLabel* status = nullptr;
    QProgressBar* Bar = nullptr;

    QPushButton* StoppKnapp = nullptr;
    QPushButton* Startknapp = nullptr;

    QFrame* Shape1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

    QPlainTextEdit* FyllMemo = nullptr;
    QPlainTextEdit* RepeatMemo = nullptr;
    QPlainTextEdit* StasjonMemo = nullptr;
    QPlainTextEdit* BlockMemo = nullptr;
    QPlainTextEdit* StartMemo = nullptr;
    QPlainTextEdit* VentMemo = nullptr;

    QMenu* Fil1 = nullptr;
    QMenu* Hjelp1 = nullptr;
    QAction* Vislogg1 = nullptr;
    QAction* Avslytt1 = nullptr;
    QAction* Systeminformasjon1 = nullptr;
    QAction* Direkteoppdateringfrainternett1 = nullptr;
};

} // namespace spylerom::mainwindow
