#pragma once

#include <QObject>

class QLabel;
class QPixmap;
class QPoint;

// A channel's lamp indicator: the label shows the lamp lit (":/res/button-yellow.png") or off
// (":/res/button-off.png"), ten times a second while the channel blinks, so each change costs
// no more than copying the pixels:
// - each image is decoded once for the process, when first shown;
// - swapping one for the other (they are the same size) lays out nothing again;
// - the label paints a copy prepared once for its screen: the image already drawn onto the
//   window's colour at the screen's pixel ratio, opaque, where that gives the very pixels the
//   label would draw itself (the window's background is one solid colour, the ratio whole).
// The label keeps the image file's own pixmap, so it reads as it always did.
class LampIndicator : public QObject
{
    Q_OBJECT

public:
    explicit LampIndicator(QLabel *label); // a child of the label
    void show(bool lit);
    // Decodes the image of the lamp off, the one the form shows, before the form is built.
    static void decodeOffImage();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool paintPrepared();
    // The copy of the label's image prepared for its screen and background, made if `make` and
    // missing; none when it would not give the label's own pixels. `at`: where it goes.
    const QPixmap *preparedCopy(bool make, QPoint *at);

    QLabel *const label;
    bool preparing = false; // the label paints itself, for a prepared copy
};
