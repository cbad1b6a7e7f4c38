#pragma once
// TOpenShowFrm: the splash window shown while the main window is created.
#include <QPixmap>
#include <QWidget>

class TOpenShowFrm : public QWidget {
    Q_OBJECT
public:
    explicit TOpenShowFrm(QWidget* parent = nullptr);
    // The picture: a program-named ".bmp" beside the executable or in the config folder,
    // else the built-in one.
    static QPixmap splashPicture();

signals:
    // The picture has been drawn once: the slow start may begin behind it.
    void shown();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool shownSent_ = false;
};
