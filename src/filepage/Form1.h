#pragma once

#include <QWidget>

// The first page of the wizard: the files to change and where the results go.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    // Runs once before the page is first shown.
    void Form_Load();
};
