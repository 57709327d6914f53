#pragma once

#include "BackgroundTask.h"
#include "BatchRun.h"
#include "DestinationPlan.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FileStamp.h"
#include "OutputFile.h"
#include "PdfSnapshot.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QWidget>
#include <array>
#include <memory>

class BatchSource;
class CommitQueue;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

// The second page of the wizard: what to do with each document-information field.
class Form2 : public QWidget {
    Q_OBJECT

public:
    // firstPage is shown again by "< Back"; source gives the files and save options.
    Form2(QWidget* firstPage, BatchSource* source);
    // Results still on their way are put in place first.
    ~Form2() override;

    void Form_Load();

    // The plan as the controls show it now.
    EditPlan plan() const;

    void PushButton3_Click();
    // "Start Changing": changes every listed file.
    void PushButton4_Click();
    bool running() const { return running_; }
    // A text typed into a field's box selects its "Change to:" option.
    void Text_Change(InfoField field);
    // The message for a date field whose text is not a date.
    static QString notADateMessage(InfoField field, const QString& text);

    QPushButton* startButton() const { return PushButton4; }
    QProgressBar* progressBar() const { return ProgressBar1; }

signals:
    // The bar's value (a fraction of 100) or text changed.
    void progressShown(double value, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
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
    // One file of the run; false when the run must stop (the program is closing).
    bool changeFile(class ErrorTrap& trap, int position, int count, const QString& toolkit,
                    QList<BatchRun::Outcome>& outcomes);
    // Marks the files whose results could not be put in place, with the box a refused write
    // shows.
    void reportCommits(QList<BatchRun::Outcome>& outcomes);
    const FieldControls& controls(InfoField field) const;
    void sweepLeftovers(const QString& folder);

    // What one run keeps from file to file.
    struct RunState {
        explicit RunState(const QStringList& inputs) : destinations(inputs) {}
        ~RunState();
        void dropInfoFile();
        DestinationPlan destinations;
        QSet<QString> swept; // folders cleared of earlier runs' leftovers
        QString infoFile;
        // What the next file needs that takes time but changes nothing (reading its original,
        // creating the file its result goes into), done while the toolkit changes this one.
        struct Prefetch {
            QString path;
            std::optional<FileStamp> stamp;
            std::shared_ptr<PdfSnapshot> snapshot;
            std::optional<Failure> unreadable;
            QString destination;
            std::unique_ptr<OutputFile> output;
            std::unique_ptr<BackgroundTask> task;
        };
        std::unique_ptr<Prefetch> prefetch;
    };
    void prefetch(int position, int count);
    // What was done ahead for input, once it is finished; nothing when it was for another file.
    std::unique_ptr<RunState::Prefetch> takePrefetch(const QString& input);
    std::unique_ptr<RunState> run_;

    QWidget* firstPage_;
    BatchSource* source_;
    bool running_ = false;
    bool closing_ = false;
    bool hostPrepared_ = false;
    double progress_ = 0;
    QString progressText_;
    // While files are being changed the bar is drawn at most once a frame.
    bool throttleProgress_ = false;
    QElapsedTimer progressDrawn_;
    QTimer* progressTimer_;
    std::unique_ptr<CommitQueue> commits_;
    // The destination of each outcome whose result is still queued.
    QHash<int, QString> committing_;
    std::array<FieldControls, EditPlan::fields.size()> fields_;
    QRadioButton* Option1; // Title: "Change to filename"
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QProgressBar* ProgressBar1;
};
