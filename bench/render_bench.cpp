// What a frame of the character costs to draw and shape at 1x and at 2x, afresh and from the cache.
// Prints one table row per figure.
#include "BenchTable.h"
#include "character/CharacterFile.h"
#include "character/FrameCache.h"
#include "character/Renderer.h"
#include "desktop/Silhouette.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>

using namespace character;

namespace {

constexpr int tweenStepMs = 40; // the program's own step

// The poses an animation shows, tween steps included, as the player steps through them.
std::vector<Pose> posesOf(const CharacterData& data, const Animation& a, Pose& from)
{
    std::vector<Pose> shown;
    for (const Frame& f : a.frames) {
        const Pose& to = data.poses[size_t(f.pose)];
        if (f.tween) {
            const int steps = std::max(1, f.durationMs / tweenStepMs);
            for (int k = 1; k < steps; ++k)
                shown.push_back(Renderer::blend(from, to, k, steps));
        }
        shown.push_back(to);
        from = to;
    }
    return shown;
}

// Milliseconds per frame for drawing and shaping `poses`, through `cache` when there is one, and
// over the frame drawn before as the program does (the figure's own moves are shifts, not drawn).
double msPerFrame(const CharacterData& data, const std::vector<Pose>& poses, qreal scale, FrameCache* cache,
                  bool over = false)
{
    const Renderer renderer(data);
    QImage last;
    Pose lastPose;
    QElapsedTimer t;
    t.start();
    for (Pose p : poses) {
        if (over)
            p.figureDx = p.figureDy = 0;
        if (cache && cache->find(p, scale, false))
            continue;
        QImage drawn;
        const QRect changed = last.isNull() ? QRect() : renderer.changedArea(lastPose, p, scale);
        if (over && !last.isNull() && 2 * qint64(changed.width()) * changed.height() < qint64(last.width()) * last.height()) {
            renderer.renderInto(last, p, changed);
            drawn = last;
        } else {
            drawn = renderer.render(p, scale);
        }
        if (over) {
            last = drawn;
            lastPose = p;
        }
        desktop::Silhouette s = desktop::Silhouette::of(std::move(drawn), data.size, false);
        if (cache)
            cache->insert(p, scale, false, std::move(s));
    }
    return t.nsecsElapsed() / 1e6 / double(poses.size());
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // fonts and painting
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    const auto loaded = ReadCharacterFile(QStringLiteral(VARROW_SOURCE_DIR "/assets/Genie.acs"));
    if (!loaded) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(loaded.why()));
        return 1;
    }
    const CharacterData& data = *loaded;
    const Pose rest = data.poses[size_t(data.pose(QStringLiteral("rest")))];

    // Every animation once, from the rest pose.
    std::vector<Pose> every;
    for (const Animation& a : data.animations) {
        Pose from = rest;
        for (Pose& p : posesOf(data, a, from))
            every.push_back(std::move(p));
    }
    // An idle character: its idle moves, forty of them in a fixed random order.
    std::vector<const Animation*> moves;
    for (const Animation& a : data.animations)
        if (a.name.startsWith(u"Idle"))
            moves.push_back(&a);
    QRandomGenerator random(7);
    std::vector<Pose> idling;
    Pose from = rest;
    for (int i = 0; i < 40; ++i)
        for (Pose& p : posesOf(data, *moves[size_t(random.bounded(int(moves.size())))], from))
            idling.push_back(std::move(p));

    bench::Table table;
    std::vector<double> fresh1, fresh2, over1, over2, cached1, cached2;
    for (int i = 0; i < runs; ++i) {
        fresh1.push_back(msPerFrame(data, every, 1, nullptr));
        fresh2.push_back(msPerFrame(data, every, 2, nullptr));
        over1.push_back(msPerFrame(data, every, 1, nullptr, true));
        over2.push_back(msPerFrame(data, every, 2, nullptr, true));
        FrameCache c1(24 << 20), c2(24 << 20); // the program's budget
        cached1.push_back(msPerFrame(data, idling, 1, &c1, true));
        cached2.push_back(msPerFrame(data, idling, 2, &c2, true));
    }
    // Four times the pixels: a frame drawn afresh costs more than twice as much. Drawing over the
    // frame before and the cache make up for it, measured against every frame drawn afresh at 1x.
    table.absolute("frame drawn afresh at 1x (ms)", fresh1, {}, 1.0);
    table.ratio("frame drawn afresh at 2x, against 1x", fresh2, fresh1, 3.0);
    table.ratio("frame drawn over the last at 1x, against afresh", over1, fresh1, 1.0);
    table.ratio("frame drawn over the last at 2x, against 1x", over2, over1, 3.0);
    table.ratio("frame while idling at 2x, against afresh 1x", cached2, fresh1, 2.0);
    table.absolute("frame while idling at 1x (ms)", cached1, {}, 1.0);
    table.print();
    return table.allMet() ? 0 : 3;
}
