#include "platform/widgets/KZResponder.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {
struct Taker : KZResponder {
    QString takes;
    int offered = 0;
    bool performAction(const QString& action) override
    {
        ++offered;
        return action == takes;
    }
};
} // namespace

TEST(Responder, ActionsTravelUntilTaken)
{
    Taker a, b, c;
    b.takes = "copy";
    c.takes = "paste";
    a.setNextResponder(&b);
    b.setNextResponder(&c);
    EXPECT_TRUE(a.sendAction("copy"));
    EXPECT_EQ(c.offered, 0);
    EXPECT_TRUE(a.sendAction("paste"));
    EXPECT_FALSE(a.sendAction("cut"));
}

TEST(Responder, LinkToADestroyedResponderReadsAsNone)
{
    Taker a;
    {
        Taker b;
        a.setNextResponder(&b);
        EXPECT_EQ(a.nextResponder(), &b);
    }
    EXPECT_EQ(a.nextResponder(), nullptr);
    EXPECT_FALSE(a.sendAction("x"));
}

TEST(Responder, ALoopEnds)
{
    Taker a, b;
    a.setNextResponder(&b);
    b.setNextResponder(&a);
    EXPECT_FALSE(a.sendAction("nothing"));
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    EXPECT_FALSE(a.sendKeyDown(&key));
}
