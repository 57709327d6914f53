#pragma once

#include "EditPlan.h"

#include <QWidget>
#include <array>

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The second page of the wizard: what to do with each document-information field.
class Form2 : public QWidget {
    Q_OBJECT

public:
    // firstPage is shown again by "< Back".
    explicit Form2(QWidget* firstPage);

    void Form_Load();

    // The plan as the controls show it now.
    EditPlan plan() const;

    void PushButton3_Click();
    // A text typed into a field's box selects its "Change to:" option.
    void Text_Change(InfoField field);

    QPushButton* startButton() const { return PushButton4; }
    QProgressBar* progressBar() const { return ProgressBar1; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct FieldControls {
        QGroupBox* frame = nullptr;
        QRadioButton* keep = nullptr;
        QRadioButton* changeTo = nullptr;
        QLineEdit* text = nullptr;
    };

    QGroupBox* fieldFrame(InfoField field);
    const FieldControls& controls(InfoField field) const;

    QWidget* firstPage_;
    std::array<FieldControls, EditPlan::fields.size()> fields_;
    QRadioButton* Option1; // Title: "Change to filename"
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QProgressBar* ProgressBar1;
};
