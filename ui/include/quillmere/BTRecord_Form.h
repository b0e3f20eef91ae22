// The window of one service's SDP record: the summaries a person reads
// first (service classes, protocol stack, profiles, Device ID), then every
// attribute as a tree of its data elements (ID, name, type, value), and,
// when the record could not be read to its end, where reading stopped. A
// node or the whole record copies as text.
//
// It is opened from the device window, owned by it (it closes with it) and
// not modal; it works on its own copy of the service, so the device window
// may refresh its services meanwhile.
#pragma once

#include <corvale/BTService.h>

#include <QDialog>
#include <QModelIndex>

class QAction;
class QLabel;
class QTreeView;

namespace Quillmere {

class RecordModel;

class BTRecord_Form : public QDialog {
    Q_OBJECT
public:
    BTRecord_Form(const Corvale::BTService& service, QWidget* parent = nullptr);
    ~BTRecord_Form() override;

    const Corvale::BTService& service() const { return Service; }
    // Whether this window shows that service, as it was when it opened.
    bool shows(const Corvale::BTService& service) const;

    // The text a copy of this node of the tree gives: an attribute with its
    // value's subtree, or one element with its subtree.
    QString nodeText(const QModelIndex& index) const;
    // The text of the whole record: the summaries, every attribute, where
    // reading stopped.
    QString recordText() const;

public slots:
    // Ctrl+C and the context menu: the current node to the clipboard.
    void Copy_Click();
    // Ctrl+Shift+C and the context menu: the whole record.
    void CopyAll_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowRecord();

    const Corvale::BTService Service;

    QLabel* Summary = nullptr;
    QLabel* Malformed = nullptr;
    QTreeView* Attributes = nullptr;
    // Holds the decoded record, which the tree reads as it paints.
    RecordModel* Model = nullptr;
    QAction* Copy = nullptr;
    QAction* CopyAll = nullptr;
};

}  // namespace Quillmere
