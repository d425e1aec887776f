// The character file: Genie as drawn, and damaged files named with file and line.
#include "character/CharacterFile.h"
#include "character/CharacterServer.h"
#include "character/Renderer.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace character;

namespace {
QByteArray genie()
{
    QFile f(testsupport::sourceDir() + "/assets/Genie.acs");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}
} // namespace

TEST(CharacterFile, GenieHasEveryAnimationDrawsAFigureAndDamageIsNamed)
{
    const auto r = ParseCharacter(genie(), "Genie.acs");
    ASSERT_TRUE(r) << r.why().toStdString();
    // Every animation the program plays, and those showing, hiding and gesturing take.
    for (const char* name : {"Acknowledge", "Announce", "Congratulate", "Decline", "Domagic1", "Domagic2",
                             "GetAttention", "Proccess", "Read", "ReadReturn", "Reading", "RestPose", "Search",
                             "Uncertain", "Write", "WriteReturn", "Show", "Hide", "GestureLeft", "GestureRight",
                             "GestureUp", "GestureDown"})
        EXPECT_NE(r->animation(name), nullptr) << name;
    EXPECT_NE(r->animation("proccess"), nullptr); // names match without regard to case
    EXPECT_NE(r->overlay("talk"), nullptr);
    EXPECT_NE(r->overlay("listen"), nullptr);
    EXPECT_FALSE(r->animationNames().filter("Idle").isEmpty());
    const Renderer renderer(*r);
    const QImage rest = renderer.render(r->poses[size_t(r->pose("rest"))]);
    // That it draws a figure, not a speck nor a box, is seen on the desktop: EndToEnd.AFirstStart...
    // The talking mouth changes the picture.
    Pose talking = r->poses[size_t(r->pose("rest"))];
    renderer.applyOverlay(talking, *r->overlay("talk"));
    EXPECT_NE(renderer.render(talking), rest);

    // Damage is named with the file and the line.
    const QByteArray good = genie();
    struct Case {
        QByteArray content;
        const char* expected;
    };
    const QByteArray truncated = good.left(good.lastIndexOf('\n', good.size() / 2) + 1);
    const std::vector<Case> cases = {
        {"", "empty"},
        {"hello\n", "varrow-character 1"},
        {truncated, "truncated"},
        {"varrow-character 1\nsize 64 64\npart a - 0 0\n  ellipse pink none 0 1 1 1 1\nend\n", "line 4"},
        {"varrow-character 1\nsize 64 64\ncolour c #ffffff\npart a - 0 0\n ellipse c none 0 1 1 1 1\npose rest\n"
         "animation X\n  frame nope 100\nend\n", "\"nope\""},
        {"varrow-character 1\nsize 64 64\ncolour c #ffffff\npart a - 0 0\n ellipse c none 0 1e308 1 1 1\npose rest\nend\n",
         "not a usable number"},
        {"varrow-character 1\nsize 64 64\ncolour c #ffffff\npart a - 0 0\npose walk\nend\n", "\"rest\""},
        {"varrow-character 1\nsize 64 64\ncolour c #ffffff\npart a - 0 0\npose rest\nanimation A\nanimation B\n"
         "frame rest 10\nend\n", "no frames"},
        {good + "\nmore\n", "after \"end\""}, // cut inside a line: EndToEnd.ADamagedCharacterFile...
    };
    for (const Case& c : cases) {
        const auto r = ParseCharacter(c.content, "/x/Genie.acs");
        EXPECT_FALSE(r) << c.expected;
        EXPECT_TRUE(r.why().contains("/x/Genie.acs")) << r.why().toStdString();
        EXPECT_TRUE(r.why().contains(c.expected)) << c.expected << " -> " << r.why().toStdString();
    }
    const auto missing = ReadCharacterFile("/nonexistent/Genie.acs");
    EXPECT_TRUE(missing.why().contains("/nonexistent/Genie.acs"));
    EXPECT_TRUE(missing.why().contains("not found"));
}
