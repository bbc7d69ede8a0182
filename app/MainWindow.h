#pragma once
// The one window of the program: the address box and "解析" at the top, the six
// quality radio buttons beside them, and a tab control with the results list, the
// download list and an about page. Every control carries its form name as objectName
// ("超级列表框1", "按钮暂停", ...); the workers and the download controller reach them
// through the control seam.
//
// Created: the download engine is initialised and the program's folder goes into the
// save-folder box. About to be destroyed: the seam is closed (waiting workers are
// released) and the engine is uninitialised. Nothing waits for workers or downloads.

#include "download/GlobalState.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class ControlSeam;
class DownloadController;
class QTabWidget;
class QTreeWidget;
class QtControlSeam;

class MainWindow final : public QWidget {
public:
    // The client area: wide and tall enough for every visible control at its place
    // (the lists reach x 491, the tab control y 504).
    static constexpr int clientWidth = 492;
    static constexpr int clientHeight = 505;

    // `webHost` ("host" or "host:port") is the course platform's host behind the sample
    // address and the service endpoint.
    MainWindow(GlobalState& state, std::string webHost, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    std::shared_ptr<ControlSeam> controls() const;
    QtControlSeam& seam() const { return *seam_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopRow();
    void buildTabs();
    void buildResultsPage(int page);
    void buildDownloadPage(int page);
    void buildAboutPage(int page);
    QTreeWidget* buildList(int page, const char* name, QRect geometryInTabs,
                           const std::vector<std::pair<const char*, int>>& columns);
    template <typename Control> Control* onPage(int page, const char* name, QRect geometryInTabs);
    void showPageControls(int page);

    void connectCommands();
    void startParsing();
    void chooseSaveFolder();
    void windowCreated();
    void windowWillBeDestroyed();

    GlobalState& state_;
    const std::string webHost_;
    std::shared_ptr<QtControlSeam> seam_;
    std::unique_ptr<DownloadController> downloads_;
    QTabWidget* tabs_ = nullptr;
    QTreeWidget* resultList_ = nullptr;
    std::vector<QWidget*> pageControls_;
};
