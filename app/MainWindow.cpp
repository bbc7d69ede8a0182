#include "app/MainWindow.h"

#include "app/ListCommands.h"
#include "app/ProgramDirectory.h"
#include "app/QtControlSeam.h"
#include "app/WidgetText.h"
#include "course/ParseWorkers.h"
#include "download/DownloadController.h"
#include "download/EngineLoader.h"

#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

QString ui(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename Control> Control* named(QWidget* parent, const char* name, QRect geometry) {
    auto control = new Control(parent);
    control->setObjectName(ui(name));
    control->setGeometry(geometry);
    return control;
}

QPushButton* button(QWidget* parent, const char* name, QRect geometry, const char* caption,
                    bool enabled = true) {
    auto control = named<QPushButton>(parent, name, geometry);
    control->setText(ui(caption));
    control->setEnabled(enabled);
    return control;
}

} // namespace

MainWindow::MainWindow(GlobalState& state, std::string webHost, QWidget* parent)
    : QWidget(parent), state_(state), webHost_(std::move(webHost)) {
    setWindowTitle(ui("Morvilla免费视频解析下载工具 DALVEX BY:ombrit"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/coursedl-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFixedSize(clientWidth, clientHeight);
    move(50, 50);

    buildTopRow();
    buildTabs();
    auto timer = new QTimer(this);
    timer->setObjectName(ui("时钟1"));

    seam_ = std::make_shared<QtControlSeam>(this);
    downloads_ = std::make_unique<DownloadController>(state_, *seam_);
    connectCommands();
    windowCreated();
}

MainWindow::~MainWindow() {
    windowWillBeDestroyed();
}

std::shared_ptr<ControlSeam> MainWindow::controls() const {
    return seam_;
}

void MainWindow::buildTopRow() {
    auto address = named<QLineEdit>(this, "编辑框1", {2, 0, 278, 32});
    address->setText(ui("http://") + QString::fromStdString(webHost_) +
                     ui("/course/introduction/1455026.htm"));
    address->setCursorPosition(0); // show the address from its beginning

    auto group = named<QGroupBox>(this, "分组框1", {280, -5, 160, 40});
    // A narrow gap between circle and digit keeps the digit inside the 24-pixel buttons.
    group->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
    struct Radio {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Radio radios[] = {
        {"单选框1", {8, 12, 24, 24}, "1"},   {"单选框2", {32, 14, 24, 20}, "2"},
        {"单选框3", {56, 12, 24, 24}, "3"},  {"单选框4", {80, 14, 24, 20}, "4"},
        {"单选框5", {104, 13, 32, 24}, "5"}, {"单选框6", {130, 13, 24, 24}, "6"},
    };
    // Radio buttons with one parent form one exclusive group by themselves.
    for (const Radio& radio : radios)
        named<QRadioButton>(group, radio.name, radio.geometry)->setText(ui(radio.caption));
    group->findChild<QRadioButton*>(ui("单选框4"))->setChecked(true);

    button(this, "按钮1", {440, 3, 40, 29}, "解析");

    // Carries the course id from the first parsing worker to the second; never shown.
    named<QLineEdit>(this, "编辑框ID", {496, 16, 56, 32})->hide();
}

void MainWindow::buildTabs() {
    tabs_ = named<QTabWidget>(this, "选择夹1", {1, 32, 488, 472});
    // A low tab row keeps the page area clear of y 24 of the tab control, where the
    // lists begin, whatever font the captions are drawn in.
    tabs_->setStyleSheet(QStringLiteral("QTabBar::tab { height: 20px; }"));
    for (const char* caption : {"解析文件", "下载列表 ", "关于软件"})
        tabs_->addTab(new QWidget(), ui(caption));
    buildResultsPage(0);
    buildDownloadPage(1);
    buildAboutPage(2);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) { showPageControls(page); });
    tabs_->setCurrentIndex(0);
    showPageControls(0);
}

// The page controls are placed relative to the tab control itself, as the form gives
// them: Qt's page area starts a few pixels inside the tab control, by an amount that
// depends on the style, and the state label "透明标签1" (256,0) even lies in the row of
// the tabs, where a child of a page would be cut off. So they are children of the tab
// control, above its page area, and shown only while their page is the current one.
// Each carries its page number in the property "tabPage".
template <typename Control>
Control* MainWindow::onPage(int page, const char* name, QRect geometryInTabs) {
    auto control = named<Control>(tabs_, name, geometryInTabs);
    control->setProperty("tabPage", page);
    pageControls_.push_back(control);
    return control;
}

void MainWindow::showPageControls(int page) {
    for (QWidget* control : pageControls_)
        control->setVisible(control->property("tabPage").toInt() == page);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (resultList_ && watched == resultList_->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        // Acts on the list's selected row: the first click of the double-click has
        // already selected the row it hit; on empty space whatever is selected counts.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            addSelectedResultRow(*seam_, state_.currentRow);
    }
    return QWidget::eventFilter(watched, event);
}

QTreeWidget* MainWindow::buildList(int page, const char* name, QRect geometryInTabs,
                                   const std::vector<std::pair<const char*, int>>& columns) {
    auto list = onPage<QTreeWidget>(page, name, geometryInTabs);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setColumnCount(static_cast<int>(columns.size()));
    QStringList headers;
    for (const auto& column : columns)
        headers << ui(column.first);
    list->setHeaderLabels(headers);
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    // The results list hides the lesson id in a column one pixel wide.
    header->setMinimumSectionSize(1);
    header->setSectionsMovable(false);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        header->resizeSection(i, columns[static_cast<std::size_t>(i)].second);
    return list;
}

void MainWindow::buildResultsPage(int page) {
    resultList_ = buildList(page, "超级列表框1", {2, 24, 488, 368},
                            {{"ID", 50}, {"视频标题", 150}, {"视频标示", 1}, {"下载地址", 279}});
    resultList_->viewport()->installEventFilter(this);
    onPage<QPushButton>(page, "按钮4", {24, 400, 112, 32});
    onPage<QPushButton>(page, "按钮2", {176, 400, 112, 32});
    onPage<QPushButton>(page, "按钮3", {320, 400, 112, 32});
    auto status = onPage<QLabel>(page, "透明标签2", {8, 441, 464, 24});
    status->setText(ui("1.2.3对应的flv三种清晰度4.5.6对应的MP4三种清晰度："
                       "按需选择下载，内容一样。"));

    struct Caption {
        const char* name;
        const char* text;
        bool enabled;
    };
    for (const Caption& caption :
         {Caption{"按钮4", "删除失败", false}, Caption{"按钮2", "一键加入下载列表", false},
          Caption{"按钮3", "清空列表", true}}) {
        auto control = tabs_->findChild<QPushButton*>(ui(caption.name));
        control->setText(ui(caption.text));
        control->setEnabled(caption.enabled);
    }
}

void MainWindow::buildDownloadPage(int page) {
    buildList(
        page, "超级列表框2", {0, 24, 488, 376},
        {{"ID", 30}, {"视频标题", 143}, {"文件大小", 70}, {"下载地址", 160}, {"完成状态", 70}});
    onPage<QLineEdit>(page, "编辑框保存", {8, 408, 128, 24});
    const struct {
        const char* name;
        QRect geometry;
        const char* caption;
    } buttons[] = {
        {"按钮选择", {144, 408, 48, 24}, "浏览"},
        {"按钮1清空", {232, 408, 48, 24}, "清空"},
        {"按钮下载", {328, 408, 56, 24}, "下载"},
        {"按钮暂停", {416, 408, 48, 24}, "暂停"},
    };
    for (const auto& button : buttons)
        onPage<QPushButton>(page, button.name, button.geometry)->setText(ui(button.caption));
    onPage<QLabel>(page, "透明标签1", {256, 0, 160, 24});
    onPage<QLabel>(page, "透明标签显示", {8, 440, 464, 24});
}

void MainWindow::buildAboutPage(int page) {
    auto about = onPage<QLabel>(page, "关于文本", {16, 40, 456, 400});
    about->setWordWrap(true);
    about->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    about->setTextFormat(Qt::RichText);
    about->setText(ui("<h2>课程视频解析下载工具</h2>"
                      "<p>版本 " COURSEDL_VERSION "</p>"
                      "<p>粘贴课程介绍页的地址，按“解析”列出课程的全部课时及其视频地址；"
                      "把课时加入下载列表，选好文件夹，按“下载”逐个下载。</p>"
                      "<p>许可：GNU 通用公共许可证第 2 版或更高版本（GPL-2.0-or-later）。</p>"
                      "<p>基于 Qt 6（Widgets、Multimedia）、libaria2、libcurl、PCRE2、"
                      "OpenSSL、zlib 与 glibc iconv。</p>"));
}

void MainWindow::connectCommands() {
    auto clicked = [this](const char* name, auto handler) {
        connect(findChild<QPushButton*>(ui(name)), &QPushButton::clicked, this, handler);
    };
    clicked("按钮1", [this] { startParsing(); });
    clicked("按钮2", [this] { replaceDownloadListByAllResults(*seam_, state_.currentRow); });
    clicked("按钮3", [this] { emptyResultList(*seam_); });
    clicked("按钮4", [this] { deleteFailedResultRows(*seam_); });
    clicked("按钮1清空", [this] { emptyDownloadList(*seam_); });
    clicked("按钮选择", [this] { chooseSaveFolder(); });
    clicked("按钮下载", [this] { downloads_->startDownload(); });
    clicked("按钮暂停", [this] { downloads_->pauseClicked(); });
    connect(findChild<QTimer*>(ui("时钟1")), &QTimer::timeout, this,
            [this] { downloads_->timerTick(); });
}

void MainWindow::startParsing() {
    // The worker runs on a detached thread of its own; the button stays enabled.
    startLessonListWorker(ParseContext{seam_, webHost_, state_.chosenExtension});
}

void MainWindow::chooseSaveFolder() {
    // Qt's own dialog rather than the desktop's: it always has the field in which a
    // folder can be typed.
    QFileDialog dialog(this, ui("选择文件存放目录"));
    dialog.setObjectName(ui("目录对话框"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::WindowModal);
    auto saveFolder = findChild<QLineEdit*>(ui("编辑框保存"));
    dialog.setDirectory(saveFolder->text());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    // The download controller reads the folder as a code page 936 text. A name with a
    // character outside it would come back with "?" in its place and send the files to
    // another folder, so such a folder is refused and the old one kept.
    if (!survivesCp936(chosen)) {
        QMessageBox::information(this, ui("信息："),
                                 ui("所选文件夹的路径中有无法使用的字符，请另选一个文件夹。"));
        return;
    }
    saveFolder->setText(chosen);
}

void MainWindow::windowCreated() {
    dlengine::XL_Init();
    findChild<QLineEdit*>(ui("编辑框保存"))->setText(runningProgramDirectory());
}

void MainWindow::windowWillBeDestroyed() {
    // Workers waiting in the seam are released first; they and a running engine task
    // are then left to end with the program.
    seam_->close();
    dlengine::XL_UnInit();
}
