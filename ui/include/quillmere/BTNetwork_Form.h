// The main window: the local radios above, the remote devices of the last
// inquiry below, each pane a tool strip over a sorted list.
#pragma once

#include <quillmere/BackgroundWorker.h>
#include <quillmere/ColumnSorter.h>
#include <quillmere/SortedList.h>

#include <corvale/BTDevice.h>
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>

#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QToolBar;

namespace Quillmere {

class BTNetwork_Form : public QWidget {
    Q_OBJECT
public:
    // Keeps the reference; the engine object belongs to the caller and must
    // outlive the window.
    explicit BTNetwork_Form(Corvale::BTNetwork& net, QWidget* parent = nullptr);
    ~BTNetwork_Form() override;

    static QString toStr(const std::wstring& text);

    // Whether the window may close now (false while a refresh runs).
    bool canClose() const { return CanClose(); }
    const ColumnSorter& localSorter() const { return LSorter; }
    const ColumnSorter& remoteSorter() const { return RSorter; }

    // Writes everything the windows know (the radios, the devices, the
    // services read so far) to fileName: CSV when its suffix is .csv, JSON
    // otherwise. A failure is told in a message box; the window stays as it
    // was either way. True when the file was written.
    bool saveTo(const QString& fileName);

public slots:
    void TL_Refresh_Click();
    void TR_Refresh_Click();
    void TR_Cache_Click();
    void TL_About_Click();
    void LLocal_DoubleClick();
    void LRemote_DoubleClick();
    void LLocal_ColumnClick(int column);
    void LRemote_ColumnClick(int column);
    // Asks for a file (JSON or CSV) and saves to it.
    void SaveAs_Click();

signals:
    // The remote inquiry has completed and the window shows its result.
    void inquiryCompleted();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BTNetwork_Form_Shown();
    void Inquiry_DoWork();
    void Inquiry_RunWorkerCompleted(const std::optional<QString>& failure);
    void Local_DoWork();
    void Local_RunWorkerCompleted(const std::optional<QString>& failure);

    bool CanClose() const { return Inquiry.canClose(); }
    void ShowError() { ShowError(toStr(baselib::getError())); }
    void ShowError(const QString& text) { Inquiry.showError(text); }
    void Sort_Column(SortedList* list, ColumnSorter& sorter, int column);
    void Sort_Image(SortedList* list, qint32 key);
    void ShowDevice(std::vector<Corvale::BTDevice>& devices, quint64 position);
    void ShowAbout();
    void Fill_Devices(const std::vector<Corvale::BTDevice>& devices, SortedList* list);
    void UInterface(bool enabled);
    void Display_Local();
    void Display_Remote();
    void openFocused(SortedList* list, std::vector<Corvale::BTDevice>& devices);

    SortedList* makeList(const QString& name, const QString& tip);
    // The lists' column widths at the window's font.
    QList<int> columnWidths() const;

    bool RemRet = false;
    bool LocRet = false;
    Corvale::BTNetwork& Net;
    ColumnSorter LSorter{1};
    ColumnSorter RSorter{1};

    QToolBar* TLocal = nullptr;
    QLabel* TL_Label = nullptr;
    QLabel* TL_Count = nullptr;
    QAction* TL_Separator1 = nullptr;
    QAction* TL_Refresh = nullptr;
    QAction* TL_Separator2 = nullptr;
    QAction* TL_About = nullptr;
    SortedList* LLocal = nullptr;

    QToolBar* TRemote = nullptr;
    QProgressBar* TR_Progress = nullptr;
    QLabel* TR_Label = nullptr;
    QLabel* TR_Count = nullptr;
    QAction* TR_Separator1 = nullptr;
    QAction* TR_Refresh = nullptr;
    QAction* TR_Separator2 = nullptr;
    QAction* TR_Cache = nullptr;
    SortedList* LRemote = nullptr;
    QAction* SaveAs = nullptr;

    bool shownOnce = false;
    // Last: it goes first, waiting for work that uses the members above.
    BackgroundWorker Inquiry{this};
};

}  // namespace Quillmere
