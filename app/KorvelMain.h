#pragma once
#include <QMainWindow>

// The main window. This is the frame only; the browser panels arrive with their features.
class TKorvelMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TKorvelMain(QWidget* parent = nullptr);
};
