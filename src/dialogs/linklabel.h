#pragma once

#include <QLabel>

// A web address shown as a link: blue and underlined; red with the hand pointer
// while the mouse is over it, blue with the arrow again when the mouse leaves.
// A click (or Space/Enter while it has the keyboard focus) emits activated().
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    static QColor restingColor();
    static QColor hoverColor();

    // The colour the text is drawn in now.
    QColor textColor() const;

Q_SIGNALS:
    void activated();

protected:
    void enterEvent(QEnterEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setHovered(bool hovered);

    bool m_pressed = false;
};
