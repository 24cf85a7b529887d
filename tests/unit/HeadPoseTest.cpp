#include "core/sensor/HeadPose.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tolvek;

namespace {

void expectNear(const Quaternion& actual, const Quaternion& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.w, expected.w, tolerance);
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

constexpr Quaternion Identity{1, 0, 0, 0};

} // namespace

TEST(HeadPoseTest, HamiltonProductFollowsQuaternionRules)
{
    const Quaternion i{0, 1, 0, 0}, j{0, 0, 1, 0}, k{0, 0, 0, 1};
    EXPECT_EQ(hamiltonProduct(i, j), k);
    EXPECT_EQ(hamiltonProduct(j, k), i);
    EXPECT_EQ(hamiltonProduct(k, i), j);
    EXPECT_EQ(hamiltonProduct(j, i), (Quaternion{0, 0, 0, -1}));
    EXPECT_EQ(hamiltonProduct(i, i), (Quaternion{-1, 0, 0, 0}));
    expectNear(hamiltonProduct({1, 2, 3, 4}, {5, 6, 7, 8}), {-60, 12, 30, 24});
}

// Sample p = (0.5, a=1, b=2, c=3) with an identity reference, so the product is the sample.
TEST(HeadPoseTest, EachDirectionPermutesAndFlipsTheVectorPart)
{
    struct Case
    {
        int direction;
        Quaternion expected;
    };
    const Case cases[] = {
        {1, {0.5f, 1, -3, 2}}, {2, {0.5f, 2, -3, -1}}, {3, {0.5f, -2, -3, 1}}, {4, {0.5f, -1, -3, -2}},
        {5, {0.5f, -1, 3, 2}}, {6, {0.5f, -2, 3, -1}}, {7, {0.5f, 2, 3, 1}},   {8, {0.5f, 1, 3, -2}},
    };
    const Quaternion sample{0.5f, 1, 2, 3};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction);
        EXPECT_EQ(applyDirectionMapping(Identity, sample, DirectionMapping::forDirection(c.direction)),
                  c.expected);
    }
}

TEST(HeadPoseTest, MappingTextRulesForUnusualTexts)
{
    const Quaternion p{0.5f, 1, 2, 3};
    struct Case
    {
        const char16_t* text;
        Quaternion expected;
    };
    const Case cases[] = {
        {u"", {0.5f, 3, 3, 3}},           // every missing axis reads as z, unsigned
        {u"9-,x+,2", {0.5f, -3, 3, 2}},   // unknown axis characters read as z
        {u"1*,2-,1-", {0.5f, 1, -2, -1}}, // only "-" negates
        {u"2-", {0.5f, -2, 3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(DirectionMapping::fromText(QString::fromUtf16(c.text)).apply(p), c.expected);
    }
    EXPECT_EQ(DirectionMapping::fromText(u"1+,3-,2+,extra,long").text(), u"1+,3-,2+,");
}

TEST(HeadPoseTest, SensorDirectionSettingPicksDirection)
{
    struct Case
    {
        const char16_t* text;
        int direction;
    };
    const Case cases[] = {{u"1", 1}, {u"2", 2}, {u"7", 7}, {u"8", 8},  {u"0", 8},
                          {u"9", 8}, {u"x", 8}, {u"", 8},  {u"-3", 8}, {u" 4", 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(sensorDirectionFromSetting(QString::fromUtf16(c.text)), c.direction);
    }
    EXPECT_EQ(DirectionMapping::forDirection(0).text(), u"1+,3+,2-");
    EXPECT_EQ(DirectionMapping::forDirection(12).text(), u"1+,3+,2-");
    EXPECT_EQ(DirectionMapping().text(), u"2+,3-,1-"); // the default setting, direction 2
}

TEST(HeadPoseTest, DirectionCommandsMapToDirections)
{
    for (int direction = 1; direction <= 8; ++direction) {
        EXPECT_EQ(directionForCommand(32829 + direction), direction);
        EXPECT_EQ(commandForDirection(direction), 32829 + direction);
    }
    EXPECT_EQ(directionForCommand(32829), std::nullopt);
    EXPECT_EQ(directionForCommand(32838), std::nullopt);
    EXPECT_EQ(directionForCommand(ManualHeadCommand), std::nullopt);
}

TEST(HeadPoseTest, ReferenceMultipliesFromTheLeft)
{
    // An untouched reference only scales the sample.
    const DirectionMapping direction7 = DirectionMapping::forDirection(7); // "2+,3+,1+"
    expectNear(applyDirectionMapping(InitialHeadReference, {0.5f, 1, 2, 3}, direction7),
               {0.495f, 1.98f, 2.97f, 0.99f});
    // Order matters: i ⊗ j = k but j ⊗ i = -k; direction 7 shows z in the output y.
    const Quaternion i{0, 1, 0, 0}, j{0, 0, 1, 0};
    EXPECT_EQ(applyDirectionMapping(i, j, direction7).y, 1.0f);
    EXPECT_EQ(applyDirectionMapping(j, i, direction7).y, -1.0f);
}

TEST(HeadPoseTest, RezeroMakesAYawForwardAndKeepsTilt)
{
    HeadState head;
    head.selectDirection(7);
    const Quaternion yaw{0.7071f, 0, 0, 0.7071f};
    head.applySensorSample(yaw);
    head.rezero();
    EXPECT_EQ(head.headReference(), (Quaternion{0.7071f, 0, 0, -0.7071f}));
    head.applySensorSample(yaw);
    expectNear(head.headPose(), {1.0f, 0, 0, 0}, 1e-4f);

    // A tilt about x on top of the same yaw is still visible after re-zeroing.
    const Quaternion tilted = hamiltonProduct(yaw, {0.9659f, 0.2588f, 0, 0});
    head.applySensorSample(tilted);
    const HeadPose pose = head.headPose();
    EXPECT_GT(std::abs(pose.x) + std::abs(pose.y) + std::abs(pose.z), 0.2f);

    // Only w and z of the reference are ever taken from the sample.
    EXPECT_EQ(rezeroedReference({0.99f, 0.1f, 0.2f, 0.3f}, {0.5f, 0.6f, 0.7f, 0.8f}),
              (Quaternion{0.5f, 0.1f, 0.2f, -0.8f}));
}

TEST(HeadPoseTest, RezeroWithoutSampleUsesTheStartValue)
{
    HeadState head;
    head.rezero();
    EXPECT_EQ(head.headReference(), (Quaternion{0.01f, 0, 0, -0.0f}));
    EXPECT_EQ(head.headPose(), InitialHeadPose);
}

TEST(HeadPoseTest, DirectionChangeTakesEffectWithTheNextSample)
{
    HeadState head;
    head.selectDirection(1);
    head.applySensorSample({1, 1, 2, 3});
    const HeadPose before = head.headPose();
    head.selectDirection(8);
    EXPECT_EQ(head.headPose(), before);
    head.applySensorSample({1, 1, 2, 3});
    expectNear(head.headPose(), {0.99f, 0.99f, 2.97f, -1.98f});
    EXPECT_EQ(head.directionMapping(), DirectionMapping::forDirection(8));
}

TEST(HeadPoseTest, ManualPresetsAndInvalidSections)
{
    HeadState head;
    const Quaternion expected[9] = {
        {0.9f, 0.4f, -0.04f, -0.36f},  {0.9f, 0.4f, 0, 0},  {0.9f, 0.4f, 0.04f, 0.36f},
        {0.9f, 0, 0, -0.4f},           {0.99f, 0, 0, 0},    {0.9f, 0, 0, 0.4f},
        {0.9f, -0.4f, -0.04f, -0.28f}, {0.9f, -0.4f, 0, 0}, {0.9f, -0.4f, 0.04f, 0.28f},
    };
    for (int section = 1; section <= 9; ++section) {
        SCOPED_TRACE(section);
        EXPECT_TRUE(head.setManualPose(section));
        EXPECT_EQ(head.headPose(), expected[section - 1]);
    }
    for (int invalid : {0, 10, -1}) {
        EXPECT_FALSE(head.setManualPose(invalid));
        EXPECT_EQ(head.headPose(), expected[8]);
        EXPECT_EQ(manualPose(invalid), std::nullopt);
    }
}

TEST(HeadPoseTest, KeypadSectionOfPointsOnThirds)
{
    // L 10, T 20, W 300, H 150: columns split at 110, 210, 310; rows at 70, 120, 170.
    const QRect view(10, 20, 300, 150);
    struct Case
    {
        int x, y, section;
    };
    const Case cases[] = {
        {11, 21, 7},  {110, 70, 7},  {111, 70, 8},  {210, 70, 8},  {211, 70, 9},  {310, 21, 9}, {110, 71, 4},
        {160, 95, 5}, {211, 120, 6}, {11, 121, 1},  {210, 170, 2}, {310, 170, 3}, {10, 95, 5},  {160, 20, 5},
        {311, 95, 5}, {160, 171, 5}, {-50, -50, 5}, {400, 30, 5},  {10, 20, 5},   {9, 170, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(keypadSection(QPoint(c.x, c.y), view), c.section);
    }
    // Thirds by integer division: W 100 splits at L+33 and L+66.
    EXPECT_EQ(keypadSection(QPoint(33, 1), QRect(0, 0, 100, 100)), 7);
    EXPECT_EQ(keypadSection(QPoint(34, 1), QRect(0, 0, 100, 100)), 8);
    EXPECT_EQ(keypadSection(QPoint(66, 1), QRect(0, 0, 100, 100)), 8);
    EXPECT_EQ(keypadSection(QPoint(67, 1), QRect(0, 0, 100, 100)), 9);
    // An empty picture has no thirds.
    EXPECT_EQ(keypadSection(QPoint(1, 1), QRect(0, 0, 0, 0)), 5);
    EXPECT_EQ(keypadSection(QPoint(2, 2), QRect(0, 0, 2, 2)), 3);
}

// Two writers publish pairs of distinct quaternions while a reader checks it only ever sees
// one of them whole. A component-by-component store would show mixtures.
TEST(HeadPoseTest, ConcurrentStoreAndLoadNeverTear)
{
    HeadPoseStore store;
    const HeadPose a{1, 2, 3, 4}, b{-5, -6, -7, -8}, c{0.25f, 0.5f, 0.75f, 1}, d{9, 9, 9, 9};
    constexpr int Iterations = 200000;
    std::atomic<int> started{0};
    const auto writer = [&](HeadPose first, HeadPose second) {
        started.fetch_add(1);
        for (int n = 0; n < Iterations; ++n)
            store.store(n % 2 ? first : second);
    };
    std::thread w1(writer, a, b);
    std::thread w2(writer, c, d);
    int torn = 0;
    for (int n = 0; n < Iterations; ++n) {
        const HeadPose seen = store.load();
        if (!(seen == a || seen == b || seen == c || seen == d || seen == InitialHeadPose))
            ++torn;
    }
    w1.join();
    w2.join();
    EXPECT_EQ(started.load(), 2);
    EXPECT_EQ(torn, 0);
    const HeadPose last = store.load();
    EXPECT_TRUE(last == a || last == c); // each writer's final store is its "first" pose
}

TEST(HeadPoseTest, SensorThreadAndUiWritesKeepThePoseWhole)
{
    HeadState head;
    head.selectDirection(7); // "2+,3+,1+"
    const Quaternion sample{1, 1, 2, 3};
    head.applySensorSample(sample);
    const HeadPose mapped = head.headPose();
    constexpr int Iterations = 50000;
    std::thread sensor([&] {
        for (int n = 0; n < Iterations; ++n)
            head.applySensorSample(sample);
    });
    std::thread ui([&] {
        for (int n = 0; n < Iterations; ++n)
            head.setManualPose(n % 2 ? 4 : 9);
    });
    int torn = 0;
    for (int n = 0; n < Iterations; ++n) {
        const HeadPose seen = head.poseStore().load();
        if (!(seen == mapped || seen == ManualPoseTable[3] || seen == ManualPoseTable[8]))
            ++torn;
    }
    sensor.join();
    ui.join();
    EXPECT_EQ(torn, 0);
}
