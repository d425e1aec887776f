// The character file: what it holds and how it is read.
#include "CharacterFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>

namespace character {

namespace {

constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
constexpr int maxParts = 256;
constexpr int maxItems = 4096;     // poses, animations, shapes per part, frames per animation
constexpr double maxCoordinate = 10000;

// '#' starts a comment at the start of a line or before a blank; "#rrggbb" is a colour.
qsizetype commentStart(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'#')
            continue;
        const bool lineStart = text.left(i).trimmed().isEmpty();
        if (lineStart || i + 1 == text.size() || text[i + 1].isSpace())
            return i;
    }
    return text.size();
}

struct ParseError {
    int line;
    QString what;
};

class Parser {
public:
    explicit Parser(const QString& fileName) : fileName_(fileName) {}

    // The first fault found ends the parse; it never leaves the parser as anything but a result.
    platform::Result<CharacterData> run(const QByteArray& content)
    {
        try {
            parse(content);
            return std::move(data_);
        } catch (const ParseError& e) {
            const QString where = e.line > 0 ? QStringLiteral("%1, line %2").arg(fileName_).arg(e.line) : fileName_;
            return platform::Fail(QStringLiteral("The character file %1 is damaged: %2.").arg(where, e.what));
        }
    }

private:
    enum class Block { None, Part, Pose, Overlay, Animation };

    [[noreturn]] void fail(const QString& what) const { throw ParseError{line_, what}; }

    double number(const QStringList& w, int i) const
    {
        if (i >= w.size())
            fail(QStringLiteral("a number is missing after \"%1\"").arg(w.join(u' ')));
        bool ok = false;
        const double v = w[i].toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::abs(v) > maxCoordinate)
            fail(QStringLiteral("\"%1\" is not a usable number").arg(w[i]));
        return v;
    }

    std::optional<QColor> colour(const QString& name) const
    {
        if (name == u"none")
            return std::nullopt;
        const auto it = colours_.find(name);
        if (it == colours_.end())
            fail(QStringLiteral("the colour \"%1\" is not defined").arg(name));
        return *it;
    }

    int partIndex(const QString& name) const
    {
        for (int i = 0; i < int(data_.parts.size()); ++i)
            if (data_.parts[i].name == name)
                return i;
        fail(QStringLiteral("there is no part \"%1\"").arg(name));
    }

    void parse(const QByteArray& content)
    {
        if (content.size() > maxFileBytes)
            fail(QStringLiteral("it is larger than %1 bytes").arg(maxFileBytes));
        bool headerSeen = false, ended = false;
        for (const QByteArray& raw : content.split('\n')) {
            ++line_;
            QString text = QString::fromUtf8(raw);
            text.truncate(commentStart(text));
            const QStringList w = text.simplified().split(u' ', Qt::SkipEmptyParts);
            if (w.isEmpty())
                continue;
            if (ended)
                fail(QStringLiteral("there is text after \"end\""));
            if (!headerSeen) {
                if (w[0] != u"varrow-character" || w.value(1) != u"1")
                    fail(QStringLiteral("it does not start with \"varrow-character 1\""));
                headerSeen = true;
            } else if (w[0] == u"end") {
                ended = true;
            } else {
                statement(w);
            }
        }
        line_ = 0;
        if (!headerSeen)
            fail(QStringLiteral("it is empty"));
        if (!ended)
            fail(QStringLiteral("it ends early (no \"end\" line): the file is truncated"));
        checkWhole();
    }

    // One line of the file's body; what a line may say depends on the block it stands in.
    void statement(const QStringList& w)
    {
        const QString& key = w[0];
        if (key == u"name") {
            data_.name = w.mid(1).join(u' ');
        } else if (key == u"size") {
            size(w);
        } else if (key == u"colour") {
            const QColor c = QColor::fromString(w.value(2));
            if (w.size() != 3 || !c.isValid() || !w[2].startsWith(u'#'))
                fail(QStringLiteral("a colour needs a name and a #rrggbb value"));
            colours_.insert(w[1], c);
        } else if (key == u"part") {
            part(w);
            block_ = Block::Part;
        } else if (key == u"ellipse" || key == u"rect" || key == u"path") {
            if (block_ != Block::Part)
                fail(QStringLiteral("a shape must belong to a part"));
            shape(w);
        } else if (key == u"pose") {
            pose(w);
            block_ = Block::Pose;
        } else if (key == u"overlay") {
            if (w.size() != 2)
                fail(QStringLiteral("an overlay needs a name"));
            data_.overlays.push_back(Overlay{w[1], {}});
            addName(data_.overlayIndex, w[1], int(data_.overlays.size()) - 1, u"overlay");
            block_ = Block::Overlay;
        } else if (key == u"animation") {
            animation(w);
            block_ = Block::Animation;
        } else if (key == u"frame") {
            if (block_ != Block::Animation)
                fail(QStringLiteral("a frame must belong to an animation"));
            frame(w);
        } else if (block_ == Block::Pose) {
            poseLine(w);
        } else if (block_ == Block::Overlay) {
            overlayLine(w);
        } else {
            fail(QStringLiteral("\"%1\" is not understood here").arg(key));
        }
    }

    void size(const QStringList& w)
    {
        const double width = number(w, 1), height = number(w, 2);
        if (width < 16 || height < 16 || width > 1024 || height > 1024)
            fail(QStringLiteral("the size must be 16 to 1024 pixels each way"));
        data_.size = QSize(int(width), int(height));
        sizeSeen_ = true;
    }

    void part(const QStringList& w)
    {
        if (w.size() < 5)
            fail(QStringLiteral("a part needs a name, a parent and a pivot"));
        if (data_.parts.size() >= maxParts)
            fail(QStringLiteral("it has more than %1 parts").arg(maxParts));
        if (!data_.poses.empty())
            fail(QStringLiteral("parts must come before the poses"));
        for (const Part& p : data_.parts)
            if (p.name == w[1])
                fail(QStringLiteral("the part \"%1\" is defined twice").arg(w[1]));
        Part p;
        p.name = w[1];
        p.parent = w[2] == u"-" ? -1 : partIndex(w[2]);
        p.pivot = QPointF(number(w, 3), number(w, 4));
        p.visible = w.value(5) != u"hidden";
        data_.parts.push_back(std::move(p));
    }

    void animation(const QStringList& w)
    {
        if (w.size() != 2)
            fail(QStringLiteral("an animation needs a name"));
        if (data_.animations.size() >= maxItems)
            fail(QStringLiteral("it has too many animations"));
        data_.animations.push_back(Animation{w[1], {}});
        addName(data_.animationIndex, w[1], int(data_.animations.size()) - 1, u"animation");
    }

    // What a character needs whatever its lines said.
    void checkWhole() const
    {
        if (!sizeSeen_)
            fail(QStringLiteral("it gives no size"));
        if (data_.parts.empty())
            fail(QStringLiteral("it draws nothing (no parts)"));
        if (data_.pose(QStringLiteral("rest")) < 0)
            fail(QStringLiteral("it has no \"rest\" pose"));
        for (const Animation& a : data_.animations)
            if (a.frames.empty())
                fail(QStringLiteral("the animation \"%1\" has no frames").arg(a.name));
    }

    void addName(QHash<QString, int>& index, const QString& name, int i, QStringView kind)
    {
        const QString key = name.toLower();
        if (index.contains(key))
            fail(QStringLiteral("the %1 \"%2\" is defined twice").arg(kind, name));
        index.insert(key, i);
    }

    void shape(const QStringList& w)
    {
        Part& part = data_.parts.back();
        if (part.shapes.size() >= maxItems)
            fail(QStringLiteral("the part \"%1\" has too many shapes").arg(part.name));
        if (w.size() < 4)
            fail(QStringLiteral("a shape needs a fill, a stroke and a stroke width"));
        Shape s;
        s.fill = colour(w[1]);
        s.stroke = colour(w[2]);
        s.strokeWidth = float(number(w, 3));
        if (s.strokeWidth < 0 || s.strokeWidth > 50)
            fail(QStringLiteral("a stroke width must be 0 to 50"));
        if (w[0] == u"ellipse") {
            s.path.addEllipse(QPointF(number(w, 4), number(w, 5)), number(w, 6), number(w, 7));
        } else if (w[0] == u"rect") {
            const QRectF r(number(w, 4), number(w, 5), number(w, 6), number(w, 7));
            const double radius = w.size() > 8 ? number(w, 8) : 0;
            s.path.addRoundedRect(r, radius, radius);
        } else {
            s.path = pathData(w.mid(4).join(u' '));
        }
        part.shapes.push_back(std::move(s));
    }

    QPainterPath pathData(const QString& d)
    {
        // Split into commands and numbers; commas count as blanks.
        QStringList tokens;
        QString current;
        for (QChar c : d) {
            if (c.isLetter() && c != u'e' && c != u'E') {
                if (!current.isEmpty())
                    tokens << current;
                tokens << QString(c);
                current.clear();
            } else if (c.isSpace() || c == u',') {
                if (!current.isEmpty())
                    tokens << current;
                current.clear();
            } else {
                current += c;
            }
        }
        if (!current.isEmpty())
            tokens << current;
        QPainterPath path;
        QPointF pen, start;
        QChar cmd;
        int i = 0;
        auto num = [&]() {
            if (i >= tokens.size())
                fail(QStringLiteral("the path \"%1\" ends in the middle of a command").arg(d.left(40)));
            return number(tokens, i++);
        };
        auto point = [&](bool relative) {
            const double x = num();
            const double y = num();
            return relative ? pen + QPointF(x, y) : QPointF(x, y);
        };
        while (i < tokens.size()) {
            if (tokens[i].size() == 1 && tokens[i][0].isLetter())
                cmd = tokens[i++][0];
            else if (cmd.isNull())
                fail(QStringLiteral("the path \"%1\" does not start with a command").arg(d.left(40)));
            const bool rel = cmd.isLower();
            switch (cmd.toUpper().unicode()) {
            case 'M':
                pen = start = point(rel);
                path.moveTo(pen);
                cmd = rel ? QChar(u'l') : QChar(u'L'); // further pairs are lines
                break;
            case 'L': pen = point(rel); path.lineTo(pen); break;
            case 'H': pen.setX(rel ? pen.x() + num() : num()); path.lineTo(pen); break;
            case 'V': pen.setY(rel ? pen.y() + num() : num()); path.lineTo(pen); break;
            case 'C': {
                const QPointF c1 = point(rel), c2 = point(rel), p = point(rel);
                path.cubicTo(c1, c2, p);
                pen = p;
                break;
            }
            case 'Q': {
                const QPointF c1 = point(rel), p = point(rel);
                path.quadTo(c1, p);
                pen = p;
                break;
            }
            case 'Z':
                path.closeSubpath();
                pen = start;
                cmd = QChar();
                break;
            default: fail(QStringLiteral("the path command \"%1\" is not known").arg(cmd));
            }
        }
        return path;
    }

    void pose(const QStringList& w)
    {
        if (w.size() != 2 && !(w.size() == 4 && w[2] == u"like"))
            fail(QStringLiteral("a pose line reads \"pose <name> [like <pose>]\""));
        if (data_.poses.size() >= maxItems)
            fail(QStringLiteral("it has too many poses"));
        Pose p;
        if (w.size() == 4) {
            const int base = data_.pose(w[3]);
            if (base < 0)
                fail(QStringLiteral("the pose \"%1\" is not defined before it is used").arg(w[3]));
            p = data_.poses[base];
        } else {
            for (const Part& part : data_.parts)
                p.parts.push_back(PartPose{0, 0, 0, 1, part.visible});
        }
        p.name = w[1];
        data_.poses.push_back(std::move(p));
        addName(data_.poseIndex, w[1], int(data_.poses.size()) - 1, u"pose");
    }

    void poseLine(const QStringList& w)
    {
        Pose& p = data_.poses.back();
        const bool figure = w[0] == u"figure";
        PartPose* pp = figure ? nullptr : &p.parts[partIndex(w[0])];
        for (int i = 1; i < w.size();) {
            const QString& k = w[i++];
            if (k == u"rotate" && pp) {
                pp->rotate = float(number(w, i++));
            } else if (k == u"move") {
                const float dx = float(number(w, i)), dy = float(number(w, i + 1));
                i += 2;
                if (pp) { pp->dx = dx; pp->dy = dy; } else { p.figureDx = dx; p.figureDy = dy; }
            } else if (k == u"scale") {
                const float s = float(number(w, i++));
                if (s < 0 || s > 10)
                    fail(QStringLiteral("a scale must be 0 to 10"));
                (pp ? pp->scale : p.figureScale) = s;
            } else if (k == u"opacity" && !pp) {
                p.opacity = std::clamp(float(number(w, i++)), 0.0f, 1.0f);
            } else if ((k == u"show" || k == u"hide") && pp) {
                pp->visible = k == u"show";
            } else {
                fail(QStringLiteral("\"%1\" is not understood in a pose").arg(k));
            }
        }
    }

    void overlayLine(const QStringList& w)
    {
        if (w.size() != 2 || (w[1] != u"show" && w[1] != u"hide"))
            fail(QStringLiteral("an overlay line reads \"<part> show\" or \"<part> hide\""));
        data_.overlays.back().visibility.emplace_back(partIndex(w[0]), w[1] == u"show");
    }

    void frame(const QStringList& w)
    {
        Animation& a = data_.animations.back();
        if (a.frames.size() >= maxItems)
            fail(QStringLiteral("the animation \"%1\" has too many frames").arg(a.name));
        if (w.size() < 3 || w.size() > 4 || (w.size() == 4 && w[3] != u"tween"))
            fail(QStringLiteral("a frame line reads \"frame <pose> <milliseconds> [tween]\""));
        const int pose = data_.pose(w[1]);
        if (pose < 0)
            fail(QStringLiteral("the pose \"%1\" is not defined").arg(w[1]));
        const double ms = number(w, 2);
        if (ms < 1 || ms > 10000)
            fail(QStringLiteral("a frame lasts 1 to 10000 milliseconds"));
        a.frames.push_back(Frame{pose, int(ms), w.size() == 4});
    }

    QString fileName_;
    int line_ = 0;
    Block block_ = Block::None;
    bool sizeSeen_ = false;
    CharacterData data_;
    QHash<QString, QColor> colours_;
};

} // namespace

const Animation* CharacterData::animation(const QString& n) const
{
    const auto it = animationIndex.find(n.toLower());
    return it == animationIndex.end() ? nullptr : &animations[*it];
}

const Overlay* CharacterData::overlay(const QString& n) const
{
    const auto it = overlayIndex.find(n.toLower());
    return it == overlayIndex.end() ? nullptr : &overlays[*it];
}

int CharacterData::pose(const QString& n) const
{
    return poseIndex.value(n.toLower(), -1);
}

QStringList CharacterData::animationNames() const
{
    QStringList names;
    for (const Animation& a : animations)
        names << a.name;
    return names;
}

platform::Result<CharacterData> ParseCharacter(const QByteArray& content, const QString& fileName)
{
    return Parser(fileName).run(content);
}

platform::Result<CharacterData> ReadCharacterFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        return platform::Fail(QStringLiteral("The character file %1 was not found.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return platform::Fail(QStringLiteral("The character file %1 could not be opened: %2.").arg(path, file.errorString()));
    if (file.size() > maxFileBytes)
        return platform::Fail(
            QStringLiteral("The character file %1 is damaged: it is larger than %2 bytes.").arg(path).arg(maxFileBytes));
    return ParseCharacter(file.readAll(), path);
}

} // namespace character
