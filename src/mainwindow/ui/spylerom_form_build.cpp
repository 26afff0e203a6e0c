// The main window's widgets: the choices and the status on the left, the information panel
// with its notices on the right, the buttons below, and the menu bar. Positions are pixels of
// the 659 x 375 client area under the menu bar.
#include "mainwindow/ui/spylerom_form.h"

#include "fill/fill_choices.h"
#include "frame/textfil.h"
#include "gui/jpeg_image.h"
#include "mainwindow/notice_texts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

// The resources of a static library are registered by hand, from the global namespace.
static void registerMainWindowResources() {
    Q_INIT_RESOURCE(mainwindow);
}

namespace spylerom::mainwindow {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kLightBlue(204, 204, 255);
const QRect kPanelFrame(305, 8, 346, 359); // Shape1; the panel and the notices lie 2 pixels inside

QFont fontOf(const QString& family, int pointSize, bool bold = false) {
    QFont font(family, pointSize);
    font.setBold(bold);
    return font;
}

QLabel* label(const char* name, const QString& text, QWidget* parent, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QProgressBar* smoothBar(const char* name, QWidget* parent, const QRect& geometry) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setGeometry(geometry);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QComboBox* dropDown(const char* name, QWidget* parent, const QRect& geometry) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->setGeometry(geometry);
    return combo;
}

QLabel* panelText(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

void TSpyleRomForm::buildChoices(QWidget* client) {
    ValgGruppe = new QGroupBox(QStringLiteral("Valg"), client);
    ValgGruppe->setObjectName("ValgGruppe");
    ValgGruppe->setGeometry(8, 4, 289, 196);

    Label1 = label("Label1", QStringLiteral("Velg stasjon: "), ValgGruppe, {12, 20, 265, 14});
    Stasjon = dropDown("Stasjon", ValgGruppe, {12, 35, 265, 22});
    Label2 = label("Label2", QStringLiteral("fyll med:"), ValgGruppe, {12, 63, 130, 14});
    FyllCombo = dropDown("FyllCombo", ValgGruppe, {12, 78, 130, 22});
    for (const std::string_view name : fill::kPatternNames)
        FyllCombo->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    antLabel = label("antLabel", QStringLiteral("1 gjentagelser"), ValgGruppe, {12, 106, 130, 14});
    TrackBar1 = new QSlider(Qt::Horizontal, ValgGruppe);
    TrackBar1->setObjectName("TrackBar1");
    TrackBar1->setGeometry(8, 120, 273, 28);
    TrackBar1->setRange(1, 10);
    TrackBar1->setPageStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(1);
    Label9 = label("Label9", QStringLiteral("Blokkstørrelse:"), ValgGruppe, {12, 151, 130, 14});
    BlockCombo = dropDown("BlockCombo", ValgGruppe, {12, 166, 130, 22});
    for (const fill::BlockChoice& choice : fill::kBlockChoices)
        BlockCombo->addItem(
            QString::fromUtf8(choice.text.data(), static_cast<qsizetype>(choice.text.size())));
    BlockCombo->setCurrentIndex(-1); // none in the design; FormCreate picks the start choice

    setTabOrder(Stasjon, FyllCombo);
    setTabOrder(FyllCombo, TrackBar1);
    setTabOrder(TrackBar1, BlockCombo);
}

void TSpyleRomForm::buildStatus(QWidget* client) {
    GroupBox2 = new QGroupBox(QStringLiteral("Status"), client);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(8, 206, 289, 124);

    plabel = label("plabel", QStringLiteral("0 % ferdig"), GroupBox2, {4, 20, 281, 14});
    plabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    pbar = smoothBar("pbar", GroupBox2, {12, 38, 265, 16});
    pbar->setToolTip(QStringLiteral("Status for gjeldende skriveoperasjon"));
    pbar2 = smoothBar("pbar2", GroupBox2, {12, 60, 265, 16});
    pbar2->setToolTip(QStringLiteral("Total status"));
    status = label("status", QStringLiteral("status"), GroupBox2, {12, 81, 265, 14});
    Bar = smoothBar("Bar", GroupBox2, {12, 99, 265, 16});
}

void TSpyleRomForm::buildButtons(QWidget* client) {
    StoppKnapp = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("&Stopp"), client);
    StoppKnapp->setObjectName("StoppKnapp");
    StoppKnapp->setGeometry(8, 338, 137, 29);
    StoppKnapp->setEnabled(false);

    Startknapp = new QPushButton(QStringLiteral("&START"), client);
    Startknapp->setObjectName("Startknapp");
    Startknapp->setGeometry(160, 338, 137, 29);
    Startknapp->setFont(fontOf(QStringLiteral("MS Sans Serif"), 10, true));
    QPalette navyText = Startknapp->palette();
    navyText.setColor(QPalette::Active, QPalette::ButtonText, kNavy);
    navyText.setColor(QPalette::Inactive, QPalette::ButtonText, kNavy);
    Startknapp->setPalette(navyText);

    setTabOrder(BlockCombo, StoppKnapp);
    setTabOrder(StoppKnapp, Startknapp);
}

void TSpyleRomForm::buildPanel(QWidget* client) {
    Shape1 = new QFrame(client);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(kPanelFrame);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setFrameShadow(QFrame::Plain);
    Shape1->setLineWidth(2);
    QPalette navyLine = Shape1->palette();
    navyLine.setColor(QPalette::WindowText, kNavy);
    Shape1->setPalette(navyLine);

    Panel1 = new QFrame(client);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(kPanelFrame.adjusted(2, 2, -2, -2));
    Panel1->setFrameShape(QFrame::NoFrame);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    Panel1->setAutoFillBackground(true);

    Label8 = panelText("Label8", QStringLiteral("Spylerom programinformasjon."), Panel1);
    QFont title = fontOf(QStringLiteral("Tahoma"), 9, true);
    title.setUnderline(true);
    Label8->setFont(title);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(65, 65);
    registerMainWindowResources();
    QString why;
    const QImage emblem = gui::loadJpeg(QStringLiteral(":/mainwindow/spylerom-emblem.jpg"), &why);
    if (emblem.isNull())
        frame::WriteLog("FEIL: Kan ikke vise programmets bilde: " + why.toStdString());
    else
        Image1->setPixmap(QPixmap::fromImage(emblem));

    Label3 =
        panelText("Label3",
                  QStringLiteral("Dette programmet fyller ledig plass på den disken du velger med det valgte "
                                 "fyllmønster. Spylerom sletter alle spor av slettede data på disken, uten å "
                                 "skrive over eksisterende filer og data som du har lagret på disken. "),
                  Panel1);
    Label5 = panelText(
        "Label5", QStringLiteral("Spylerom kan kjøres samtidig med at andre programmer kjører."), Panel1);
    Label4 = panelText("Label4",
                       QStringLiteral("Spylerom vil slette all ledig på plass på de stasjoner der du har "
                                      "skriverettigheter til, dvs. harddisker, minnepenner, disketter og "
                                      "nettverksdisker."),
                       Panel1);
    Label6 = panelText("Label6",
                       QStringLiteral("Hvis systemdisken velges kan det forekomme feilmeldinger om for lite "
                                      "diskplass. Desse meldingene kan ignoreres."),
                       Panel1);
    QFont italic = Label6->font();
    italic.setItalic(true);
    Label6->setFont(italic);
    Label7 =
        panelText("Label7",
                  QStringLiteral("Spylerom er laget på en slik måte at disken ikke kan skades eller gjøres "
                                 "ustabil."),
                  Panel1);

    auto* top = new QHBoxLayout;
    top->addWidget(Label8, 1, Qt::AlignTop);
    top->addWidget(Image1, 0, Qt::AlignTop | Qt::AlignRight);
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(8, 6, 6, 8);
    column->setSpacing(8);
    column->addLayout(top);
    for (QLabel* text : {Label3, Label5, Label4, Label6, Label7})
        column->addWidget(text);
    column->addStretch(1);
}

void TSpyleRomForm::buildNotices(QWidget* client) {
    // Created in this order, so that a later notice lies on top of an earlier one.
    const auto notice = [&](const char* name, const std::vector<std::string>& lines,
                            const QColor& background) {
        auto* memo = new QPlainTextEdit(client);
        memo->setObjectName(name);
        memo->setGeometry(Panel1->geometry());
        memo->setFrameShape(QFrame::NoFrame);
        memo->setReadOnly(true);
        memo->setFocusPolicy(Qt::NoFocus);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QStringList text;
        for (const std::string& line : lines)
            text << QString::fromStdString(line);
        memo->setPlainText(text.join(QLatin1Char('\n')));
        QPalette colours = memo->palette();
        colours.setColor(QPalette::Base, background);
        memo->setPalette(colours);
        memo->hide();
        return memo;
    };
    FyllMemo = notice("FyllMemo", fyllMemoLines(), kLightBlue);
    RepeatMemo = notice("RepeatMemo", repeatMemoLines(), kLightBlue);
    StasjonMemo = notice("StasjonMemo", stasjonMemoLines(), kLightBlue);
    BlockMemo = notice("BlockMemo", blockMemoLines(), kLightBlue);
    StartMemo = notice("StartMemo", startMemoLines(), Qt::white);
    VentMemo = notice("VentMemo", ventMemoLines(), palette().color(QPalette::Base));
}

void TSpyleRomForm::buildMenu() {
    menuBar()->setObjectName("MainMenu1");
    Fil1 = menuBar()->addMenu(QStringLiteral("&Fil"));
    Fil1->setObjectName("Fil1");
    Vislogg1 = Fil1->addAction(QStringLiteral("Vis loggfil"));
    Vislogg1->setObjectName("Vislogg1");
    Fil1->addSeparator();
    Avslytt1 = Fil1->addAction(QStringLiteral("&Avslutt"));
    Avslytt1->setObjectName("Avslytt1");
    Avslytt1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    Hjelp1 = menuBar()->addMenu(QStringLiteral("&Hjelp"));
    Hjelp1->setObjectName("Hjelp1");
    Systeminformasjon1 = Hjelp1->addAction(QStringLiteral("Systeminformasjon"));
    Systeminformasjon1->setObjectName("Systeminformasjon1");
    Direkteoppdateringfrainternett1 = Hjelp1->addAction(QStringLiteral("Direkte oppdatering fra internett"));
    Direkteoppdateringfrainternett1->setObjectName("Direkteoppdateringfrainternett1");
}

} // namespace spylerom::mainwindow
