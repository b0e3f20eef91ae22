// The About box: the tool, its version, its maker and its author, with links
// to their web sites that open in the user's browser.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace Quillmere {

class About_Form : public QDialog {
    Q_OBJECT
public:
    explicit About_Form(QWidget* parent = nullptr);

    static const char* const MakerAddress;
    static const char* const AuthorAddress;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void linkLabel1_LinkClicked();
    void linkLabel2_LinkClicked();

    QLabel* label1 = nullptr;
    QLabel* label2 = nullptr;
    QLabel* label3 = nullptr;
    QLabel* label4 = nullptr;
    QLabel* linkLabel1 = nullptr;
    QLabel* linkLabel2 = nullptr;
    QPushButton* button1 = nullptr;
};

}  // namespace Quillmere
