// The layout of TSysInfoForm: header, tabs with their labels and fixed captions, bottom panel.
#include "sysinfo/ui/click_label.h"
#include "sysinfo/ui/sysinfo_form.h"

#include "frame/textfil.h"
#include "gui/jpeg_image.h"
#include "sysinfo/build_facts.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

// The resources of a static library are registered by hand, from the global namespace.
static void registerSysInfoResources() {
    Q_INIT_RESOURCE(sysinfo);
}

namespace spylerom::sysinfo {

namespace {

const QColor kTitleGreen(0, 128, 0);

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text = {}) {
    return named(new QLabel(text, parent), name);
}

ClickLabel* link(QWidget* parent, const char* name, const QString& text = {}) {
    auto* l = named(new ClickLabel(text, parent), name);
    l->setLink(true);
    return l;
}

void makeBold(QLabel* l) {
    QFont font = l->font();
    font.setBold(true);
    l->setFont(font);
}

// A row of a fact grid: the fixed caption at the left, the control beside it.
void addRow(QGridLayout* grid, const QString& caption, QWidget* control) {
    const int row = grid->rowCount();
    auto* cap = new QLabel(caption, grid->parentWidget());
    cap->setObjectName(control->objectName() + QStringLiteral("Caption"));
    grid->addWidget(cap, row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(control, row, 1, Qt::AlignLeft | Qt::AlignTop);
}

QGridLayout* factGrid(QWidget* page) {
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);
    grid->setContentsMargins(0, 0, 0, 0);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(grid);
    return grid;
}

QWidget* tabPage(const char* name) {
    auto* page = named(new QWidget, name);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(10, 8, 10, 8);
    return page;
}

void endPage(QWidget* page) {
    static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
}

QGroupBox* group(QWidget* page, const char* name, const QString& title,
                 std::initializer_list<QWidget*> items) {
    auto* box = named(new QGroupBox(title, page), name);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(8, 2, 8, 4);
    column->setSpacing(2);
    for (QWidget* item : items) {
        item->setParent(box);
        column->addWidget(item);
    }
    page->layout()->addWidget(box);
    return box;
}

} // namespace

QWidget* TSysInfoForm::buildHeader() {
    auto* header = named(new QWidget(this), "Panel1");
    header->setFixedHeight(81);
    header->setAutoFillBackground(true);
    QPalette white = header->palette();
    white.setColor(QPalette::Window, Qt::white);
    header->setPalette(white);

    Image1 = named(new ClickLabel({}, header), "Image1");
    Image1->setFixedSize(73, 73);
    registerSysInfoResources();
    QString why;
    const QImage logo = gui::loadJpeg(QStringLiteral(":/sysinfo/solvarek-logo.jpg"), &why);
    if (logo.isNull())
        frame::WriteLog("FEIL: Kan ikke vise logoen: " + why.toStdString());
    else
        Image1->setPixmap(QPixmap::fromImage(logo));
    Label13 = named(new ClickLabel({}, header), "Label13");
    Label13->setAlignment(Qt::AlignCenter);
    QFont title(QStringLiteral("Tahoma"));
    title.setPixelSize(19);
    title.setBold(true);
    Label13->setFont(title);
    Label16 =
        label(header, "Label16", QStringLiteral("© Solvarek – programvare for små og mellomstore bedrifter"));
    Label16->setAlignment(Qt::AlignCenter);
    QFont small(QStringLiteral("Tahoma"));
    small.setPixelSize(10);
    Label16->setFont(small);
    for (QLabel* l : {static_cast<QLabel*>(Label13), Label16}) {
        QPalette green = l->palette();
        green.setColor(QPalette::WindowText, kTitleGreen);
        l->setPalette(green);
    }

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(4, 4, 8, 4);
    row->addWidget(Image1, 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->addStretch(1);
    titles->addWidget(Label13);
    titles->addWidget(Label16);
    titles->addStretch(1);
    row->addLayout(titles, 1);
    return header;
}

QWidget* TSysInfoForm::buildBottom() {
    auto* bottom = named(new QWidget(this), "Panel3");
    bottom->setFixedHeight(48);
    BitBtn1 = named(new QPushButton(QStringLiteral("Lukk"), bottom), "BitBtn1");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    auto* row = new QHBoxLayout(bottom);
    row->setContentsMargins(8, 8, 12, 8);
    row->addStretch(1);
    row->addWidget(BitBtn1);
    return bottom;
}

QWidget* TSysInfoForm::buildProgramTab() {
    QWidget* page = tabPage("TabProgram");
    cProgramnavn = label(page, "cProgramnavn");
    makeBold(cProgramnavn);
    cProgramnavn->setWordWrap(true);
    cProgramnavn->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page->layout()->addWidget(cProgramnavn);

    QGridLayout* grid = factGrid(page);
    addRow(grid, QStringLiteral("Init versjon"), v_init = label(page, "v_init"));
    addRow(grid, QStringLiteral("Build nr."), v_build = label(page, "v_build"));
    addRow(grid, QStringLiteral("Build dato"), n_build = label(page, "n_build"));
    addRow(grid, QStringLiteral("Build ID"), v_id = label(page, "v_id"));
    addRow(grid, QStringLiteral("Kompilert med"), v_Kompilator = link(page, "v_Kompilator"));
    v_Kompilator->setToolTip(QString::fromStdString(CompilerHint()));
    xmlv = label(page, "xmlv");
    page->layout()->addWidget(xmlv);

    // The parameters: the caption, and to its right the list in the dialog's face colour.
    auto* parameters = new QHBoxLayout;
    lParameter = label(page, "lParameter");
    ParamMemo = named(new QPlainTextEdit(page), "ParamMemo");
    ParamMemo->setReadOnly(true);
    ParamMemo->setFrameShape(QFrame::NoFrame);
    QPalette face = ParamMemo->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Window));
    ParamMemo->setPalette(face);
    ParamMemo->setFixedHeight(64);
    ParamMemo->hide();
    parameters->addWidget(lParameter, 0, Qt::AlignTop);
    parameters->addWidget(ParamMemo, 1);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(parameters);
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildFilesTab() {
    QWidget* page = tabPage("TabFiler");
    page->layout()->setContentsMargins(10, 4, 10, 4);
    page->layout()->setSpacing(2);
    group(page, "GroupInifil", QStringLiteral("Inifil"),
          {n_fil = link(page, "n_fil"), nb_fil = link(page, "nb_fil")});
    group(page, "GroupLoggfil", QStringLiteral("Loggfil:"), {eLogfil = link(page, "eLogfil")});
    group(page, "GroupDatamappe", QStringLiteral("Datamappe:"), {cData = link(page, "cData")});
    group(page, "GroupAndre", QStringLiteral("Andre:"), {NotesLabel = link(page, "NotesLabel")});
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildWindowsTab() {
    QWidget* page = tabPage("TabWindows");
    QGridLayout* grid = factGrid(page);
    addRow(grid, QStringLiteral("Minne tilgjengelig for Windows"), PhysMem = label(page, "PhysMem"));
    addRow(grid, QStringLiteral("Minne i bruk"), FreeRes = label(page, "FreeRes"));
    v_platform = label(page, "v_platform");
    grid->addWidget(v_platform, grid->rowCount(), 0, 1, 2);
    addRow(grid, QStringLiteral("Systemområde"), n_system = link(page, "n_system"));
    addRow(grid, QStringLiteral("Programdata"), ProgramdataLabel = link(page, "ProgramdataLabel"));
    addRow(grid, QStringLiteral("Midlertidige filer:"), Innstillinger = link(page, "Innstillinger"));
    addRow(grid, QStringLiteral("Hosts:"), lHosts = link(page, "lHosts"));
    addRow(grid, QStringLiteral("Lmhosts:"), lLMHosts = link(page, "lLMHosts"));
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildTabulantTab() {
    QWidget* page = tabPage("TabTabulant");
    TabulantLabel = link(page, "TabulantLabel");
    makeBold(TabulantLabel);
    TabulantLabel->setToolTip(QStringLiteral("Start Tabulant Database Desktop"));
    for (QLabel* l :
         {static_cast<QLabel*>(TabulantLabel), Versjon = label(page, "Versjon"), Dato = label(page, "Dato"),
                                               Bruker = label(page, "Bruker"), Peker = label(page, "Peker"),
                                               TabulantCache = label(page, "TabulantCache")})
        page->layout()->addWidget(l);
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildSuiteTab() {
    QWidget* page = tabPage("TabBedriftsnav");
    v_firma = link(page, "v_firma");
    v_firma->setToolTip(QString::fromStdString(SuiteHint()));
    page->layout()->addWidget(v_firma);
    auto* database = new QHBoxLayout;
    Label2 = link(page, "Label2", QStringLiteral("Databaseversjon "));
    Label2->setToolTip(QStringLiteral("Gå til Devarts hjemmeside"));
    v_Flash = label(page, "v_Flash");
    database->addWidget(Label2);
    database->addWidget(v_Flash, 1);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(database);
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildSpecialTab() {
    QWidget* page = tabPage("TabSpesial");
    Panel2 = named(new QFrame(page), "Panel2");
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    auto* column = new QVBoxLayout(Panel2);
    const std::pair<QCheckBox**, std::pair<const char*, const char*>> boxes[] = {
        {&cWinTast, {"cWinTast", "Ikke tillat systemtaster"}},
        {&cWinDisTask, {"cWinDisTask", "Sperr oppgavelinje"}},
        {&cWinStartKnapp, {"cWinStartKnapp", "Sperr startknappen"}},
        {&cWinTray, {"cWinTray", "Skjul systemstatusfelt"}},
        {&cWinShowTask, {"cWinShowTask", "Skjul oppgavelinje"}},
        {&cWinDesktop, {"cWinDesktop", "Skjul skrivebord"}},
    };
    for (const auto& [box, text] : boxes) {
        *box = named(new QCheckBox(QString::fromUtf8(text.second), Panel2), text.first);
        column->addWidget(*box);
    }
    // Disabled until the title is double-clicked.
    Panel2->setEnabled(false);
    page->layout()->addWidget(Panel2);
    endPage(page);
    return page;
}

QWidget* TSysInfoForm::buildReportTab() {
    QWidget* page = tabPage("TabRapport");
    // "Utskrift og forhåndsvisning" reads as one phrase; its first and last words are links.
    auto* phrase = new QHBoxLayout;
    phrase->setSpacing(4);
    Label14 = link(page, "Label14", QStringLiteral("Utskrift"));
    Label15 = label(page, "Label15", QStringLiteral("og"));
    Label19 = link(page, "Label19", QStringLiteral("forhåndsvisning"));
    for (QLabel* l : {static_cast<QLabel*>(Label14), Label15, static_cast<QLabel*>(Label19)}) {
        makeBold(l);
        phrase->addWidget(l);
    }
    phrase->addStretch(1);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(phrase);
    QGridLayout* grid = factGrid(page);
    addRow(grid, QStringLiteral("Rapportgenerator"), RapportLabel = link(page, "RapportLabel"));
    endPage(page);
    return page;
}

} // namespace spylerom::sysinfo
