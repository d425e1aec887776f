// Renders every animation of a character file as a contact sheet, to check the art by eye.
// Usage: genie-sheet <file.acs> <out.png> [scale]
//        genie-sheet <file.acs> <out.png> --pose <name>     (one pose, actual size)
#include "character/CharacterFile.h"
#include "character/Renderer.h"

#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <string>

using namespace character;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: genie-sheet <file.acs> <out.png> [scale]\n");
        return 2;
    }
    const auto r = ReadCharacterFile(QString::fromLocal8Bit(argv[1]));
    if (!r) {
        std::fprintf(stderr, "%s\n", qPrintable(r.why()));
        return 1;
    }
    const CharacterData& d = *r;
    if (argc > 4 && std::string(argv[3]) == "--pose") {
        const int pose = d.pose(QString::fromLocal8Bit(argv[4]));
        if (pose < 0) {
            std::fprintf(stderr, "no pose %s\n", argv[4]);
            return 1;
        }
        return Renderer(d).render(d.poses[size_t(pose)]).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    const double scale = argc > 3 ? std::atof(argv[3]) : 1.0;
    const Renderer renderer(d);
    const int cols = 8;
    const QSize cell(int(d.size.width() * scale), int(d.size.height() * scale) + 14);
    int rows = 0;
    for (const Animation& a : d.animations)
        rows += int((a.frames.size() + cols - 1) / cols);
    QImage sheet(cols * cell.width() + 110, rows * cell.height(), QImage::Format_ARGB32);
    sheet.fill(QColor(0xd8, 0xe0, 0xd0));
    QPainter p(&sheet);
    int row = 0;
    for (const Animation& a : d.animations) {
        p.setPen(Qt::black);
        p.drawText(4, row * cell.height() + 14, a.name);
        for (size_t i = 0; i < a.frames.size(); ++i) {
            const int x = 110 + int(i % cols) * cell.width();
            const int y = (row + int(i / cols)) * cell.height();
            const QImage img = renderer.render(d.poses[size_t(a.frames[i].pose)]);
            p.drawImage(QRect(x, y, cell.width(), cell.height() - 14), img);
            p.drawText(x + 2, y + cell.height() - 2, QStringLiteral("%1 %2ms%3").arg(d.poses[size_t(a.frames[i].pose)].name)
                                                         .arg(a.frames[i].durationMs).arg(a.frames[i].tween ? "~" : ""));
        }
        row += int((a.frames.size() + cols - 1) / cols);
    }
    p.end();
    return sheet.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
