#pragma once

#include "BatchEngine.h"
#include "EditPlan.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>

class BatchSource;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

// The second page of the wizard: what to do with each document-information field. "Start
// Changing" hands the listed files to the batch engine and shows how it goes.
class Form2 : public QWidget, private BatchEngine::Host {
    Q_OBJECT

public:
    // firstPage is shown again by "< Back"; source gives the files and save options.
    Form2(QWidget* firstPage, BatchSource* source);
    ~Form2() override;

    void Form_Load();

    // The plan as the controls show it now.
    EditPlan plan() const;
    // Shows plan's fields: each it changes as "Change to:" with its text, each other as "Do not
    // change"; nothing else of the page changes.
    void showFields(const EditPlan& plan);

    void PushButton3_Click();
    // "Start Changing": changes every listed file.
    void PushButton4_Click();
    // From a press of "Start Changing" until its handler is done.
    bool running() const { return run_ != nullptr; }
    // A text typed into a field's box selects its "Change to:" option.
    void Text_Change(InfoField field);

    QPushButton* startButton() const { return PushButton4; }
    QProgressBar* progressBar() const { return ProgressBar1; }

signals:
    // The bar's value (a fraction of 100) or text changed.
    void progressShown(double value, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class RunGuard;
    struct FieldControls {
        QGroupBox* frame = nullptr;
        QRadioButton* keep = nullptr;
        QRadioButton* changeTo = nullptr;
        QLineEdit* text = nullptr;
    };

    QGroupBox* fieldFrame(InfoField field);
    void setProgress(double value);
    void setProgressText(const QString& text);
    void showProgress();
    void drawProgress();
    const FieldControls& controls(InfoField field) const;

    // The engine's question and reports during a run.
    std::optional<QString> askPassword(const QString& input) override;
    void progress(int position, int count, const QString& input) override;
    // Shown as a failure of this page's handler, with the step's number.
    void stepFailed(RunStep step, const Failure& failure) override;
    void writeRefused(const QString& destination) override;
    void finished(const BatchRun::Outcome&) override {}

    QWidget* firstPage_;
    BatchSource* source_;
    // While "Start Changing" runs: what the run holds (its trap, its engine), on the handler's
    // own stack.
    RunGuard* run_ = nullptr;
    bool closing_ = false;
    bool hostPrepared_ = false;
    double progress_ = 0;
    QString progressText_;
    // While files are being changed the bar is drawn at most once a frame.
    bool throttleProgress_ = false;
    QElapsedTimer progressDrawn_;
    // The percent the task bar's launcher shows; -1 when it shows none.
    int launcherShown_ = -1;
    QTimer* progressTimer_;
    std::array<FieldControls, EditPlan::fields.size()> fields_;
    QRadioButton* Option1; // Title: "Change to filename"
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QProgressBar* ProgressBar1;
};
