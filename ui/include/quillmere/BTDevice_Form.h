// The modal window of one device: its identity, its Class of Device with the
// service-class flags, and its services, refreshed on demand by SDP service
// discovery on a background worker.
#pragma once

#include <quillmere/BackgroundWorker.h>
#include <quillmere/ColumnSorter.h>
#include <quillmere/SortedList.h>

#include <corvale/BTDevice.h>
#include <corvale/baselib.h>

#include <QDialog>

#include <optional>
#include <vector>

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QToolBar;
class QToolButton;

namespace Quillmere {

class BTDevice_Form : public QDialog {
    Q_OBJECT
public:
    // The engine's own record, not a copy: a discovery fills it in place.
    explicit BTDevice_Form(Corvale::BTDevice& dev, QWidget* parent = nullptr);
    ~BTDevice_Form() override;

    static QString toStr(const std::wstring& text);

    bool canClose() const { return CanClose(); }
    const ColumnSorter& servicesSorter() const { return SSorter; }

public slots:
    void Toolbar_Refresh_Click();
    void Toolbar_Cache_Click();
    void Services_ColumnClick(int column);
    // A double-click on a row of the services list, or Enter on its focused
    // row, opens that service's record in a window of its own.
    void Services_DoubleClick();
    void TT_About_Click();

signals:
    // A service discovery has completed and the window shows its result.
    void discoveryCompleted();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // Every way out of the dialog comes here; refused while the worker runs.
    void reject() override;

private:
    void BTDevice_Form_Shown();
    void COD_Services_ItemCheck(QListWidgetItem* item);
    void Inquiry_DoWork();
    void Inquiry_RunWorkerCompleted(const std::optional<QString>& failure);

    void ShowInfo();
    void Display_Services();
    void Fill_Services(const std::vector<Corvale::BTService>& services, SortedList* list);
    void UInterface(bool enabled);
    bool CanClose() const { return Inquiry.canClose(); }
    void ShowError() { ShowError(toStr(baselib::getError())); }
    void ShowError(const QString& text) { Inquiry.showError(text); }
    void Sort_Column(SortedList* list, ColumnSorter& sorter, int column);
    void Sort_Image(SortedList* list, qint32 key);
    void ShowAbout();
    void ShowRecord(const Corvale::BTService& service);
    void CloseRecords();

    Corvale::BTDevice& Dev;
    ColumnSorter SSorter{3};
    bool ServRet = false;
    bool ChkLock = true;

    QToolBar* TopTool = nullptr;
    QLabel* TT_Space = nullptr;
    QToolButton* TT_Name = nullptr;
    QLabel* TT_Address = nullptr;
    QAction* TT_Separator1 = nullptr;
    QAction* TT_About = nullptr;
    QWidget* TopPanel = nullptr;
    QListWidget* COD_Services = nullptr;
    SortedList* Info = nullptr;
    QToolBar* Toolbar = nullptr;
    QLabel* Toolbar_Label = nullptr;
    QLabel* Toolbar_Count = nullptr;
    QAction* Toolbar_Separator1 = nullptr;
    QAction* Toolbar_Refresh = nullptr;
    QAction* Toolbar_Separator2 = nullptr;
    QAction* Toolbar_Cache = nullptr;
    QProgressBar* Toolbar_Progress = nullptr;
    SortedList* Services = nullptr;

    bool shownOnce = false;
    // Last: it goes first, waiting for work that uses the members above.
    BackgroundWorker Inquiry{this};
};

}  // namespace Quillmere
