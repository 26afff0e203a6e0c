// TSpyleRomForm: the main window. It shows the four choices, the fill's progress and the
// information panel with its notices, and wires the buttons, the track bar and the drive list
// to the fill engine, which does all the work; the window only shows what the engine sets. It
// remembers its choices and place in the per-user settings (storing them is the frame's), and
// its menu hands the log, the system information and the update to the frame and the dialog.
#pragma once

#include "fill/fill_engine.h"
#include "fill/fill_window.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <optional>
#include <string>

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

class TSpyleRomForm : public QMainWindow, public fill::FillWindow {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate; the window stays hidden until shown.
    explicit TSpyleRomForm(QWidget* parent = nullptr);
    ~TSpyleRomForm() override;

    fill::FillEngine& engine() { return engine_; }

    // Ends the program once no fill runs any more: at once when idle, otherwise after the
    // running pass has been stopped and has cleaned up (the window's close is not run).
    void quitWhenIdle();

    // The fastest the progress is painted while a pass writes; messages are still handled
    // after every cycle.
    static constexpr int kRepaintIntervalMs = 100;

    // FillWindow.
    std::string driveText() const override;
    int fillIndex() const override;
    int blockIndex() const override;
    std::string blockText(int index) const override;
    int trackBarPosition() const override;
    void setPassBar(int position) override;
    void setTotalBar(int position) override;
    void setProgressText(const std::string& text) override;
    void setUsageBar(int maximum, int position) override;
    void setStatusText(const std::string& text) override;
    void setRepetitionText(const std::string& text) override;
    void setStartNoticeVisible(bool visible) override;
    void setWaitNoticeVisible(bool visible) override;
    void setPointer(fill::Pointer pointer) override;
    void showIdle() override;
    void showRunning() override;
    void repaintAndProcessEvents() override;

    // Handlers.
    // Logs the start, restores the place, reads the remembered choices and shows the drive.
    void FormCreate();
    // Stores the place and the four choices and logs the end; runs once, when the window closes.
    void FormClose();
    void Spyleromen();
    void StoppKnappClick();
    void StasjonChange();
    void TrackBar1Change();
    void StasjonEnter();
    void StasjonExit();
    void FyllComboEnter();
    void FyllComboExit();
    void TrackBar1Enter();
    void TrackBar1Exit();
    void BlockComboEnter();
    void BlockComboExit();
    void Avslytt1Click();
    // Opens the log file as last saved with the program the system has for it.
    void Vislogg1Click();
    // Opens the system information dialog, modal.
    void Systeminformasjon1Click();
    // Starts the updater and ends the program without the close handling: the choices of this
    // run are not stored. A running fill is stopped and cleans up first.
    void Direkteoppdateringfrainternett1Click();

signals:
    // The window has closed, which asks the program to end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The progress values a pass sets every cycle; shown when the window is next painted.
    struct Progress {
        std::optional<int> passBar, totalBar;
        std::optional<QString> progressText, statusText;
        std::optional<std::pair<int, int>> usageBar; // maximum, position
    };

    void buildChoices(QWidget* client);
    void buildStatus(QWidget* client);
    void buildButtons(QWidget* client);
    void buildPanel(QWidget* client);
    void buildNotices(QWidget* client);
    void buildMenu();
    void fillDriveList();
    // The item a stored "Stasjon" position and drive root select now (-1: none).
    int storedDrive(int position, const std::string& root) const;
    void readChoices();
    void writeChoices();
    void connectHandlers();
    void showProgress();
    void progressChanged();
    void afterRun();

    fill::FillEngine engine_;
    Progress pending_;
    QElapsedTimer sincePaint_;
    bool closeAfterRun_ = false;
    bool quitAfterRun_ = false;
    bool formClosed_ = false; // FormClose has run

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
