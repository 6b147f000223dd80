#ifndef BUILDPROGRESSSCALE_H
#define BUILDPROGRESSSCALE_H

#include <QString>

// One bar for the whole build from the builder's progress lines, each of which gives the
// thousandths done of its own step ("progress PERMILLE LABEL"): the inputs are read first,
// the catalogue is written last. The number of inputs is not known ahead, so each new
// input takes half of what is left of the reading share; the writing steps (labels
// "writing STEP", PERMILLE counting the steps) share the rest. The bar never goes back.
class BuildProgressScale
{
public:
    static constexpr int fullScale = 1000;
    // The part of the bar for reading the inputs; writing takes the rest.
    static constexpr int readingShare = 700;

    // The bar's value after one progress line.
    int advance(int permille, const QString &label);
    int value() const { return current; }

    // The step in the window's words: "正在读取 Contents-amd64.lz4", "正在写入文件名".
    static QString phaseText(const QString &label);

private:
    QString stepLabel;
    int stepStart = 0;
    int stepEnd = 0;
    int current = 0;
};

#endif // BUILDPROGRESSSCALE_H
