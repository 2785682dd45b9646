// The gauge values and the G-suit, driven by the cockpit from the flight data.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"

#include "phidget/GSuitFormula.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

using Gauges = CockpitFixture;

} // namespace

TEST_F(Gauges, ValuesAreRoundedThenNegatedThenLimited)
{
    using F = FlightDataField;
    const struct {
        const char* keyword;
        F field;
        double value;
        const char* shown;
    } gauges[] = {
        {"ALT", F::ShipDown, 1500.4, "0"},        {"alt", F::ShipDown, -1500.4, "1500"},
        {"ATTITUDE", F::Pitch, 0.1, "-5.73"},     {"VVI", F::ShipDownRate, -10000, "2000"},
        {"AOA", F::Alpha, 0.5, "-0.86"},          {"AOA", F::Alpha, -100, "60"},
        {"KIAS", F::KIAS, 250.5, "250"},          {"RPM", F::RPM, 87.5, "88"},
        {"FTIT", F::FTIT, 700.2, "700"},          {"NOZPOS", F::NozzlePos, 12.7, "13"},
        {"OILPRES", F::OilPressure, 45.49, "45"}, {"SPEEDBRAKE", F::SpeedBrake, 0.125, "0.12"},
        {"EPUFuel", F::EPUFuel, 99.5, "100"},     {"UNKNOWN", F::RPM, 1, "file text"},
    };
    QByteArray lines = "[SKITS]\r\n";
    for (const auto& gauge : gauges)
        lines += QByteArray("0,,") + gauge.keyword + ",file text\r\n";
    start(withRequiredSections(lines));
    for (int line = 0; line < int(std::size(gauges)); ++line) {
        set(gauges[line].field, gauges[line].value);
        tick();
        EXPECT_EQ(grid(CockpitGrid::SKITS).text(line + 1, 3), gauges[line].shown)
            << gauges[line].keyword;
    }
}

TEST_F(Gauges, TheGSuitFollowsTheLoadFactorThroughItsFormulaWithinTheMotorsRange)
{
    set(FlightDataField::GS, 1.5);
    Cockpit& cockpit = start(withRequiredSections("[GSUIT-1]\r\n30 * G + 10\r\n"));
    tick(); // motor 1 by the file's formula, motor 2 on the load factor itself
    EXPECT_EQ(label(CockpitLabel::GForce), "1.500");
    EXPECT_EQ(board(50001).motors, (std::vector<double>{55, 1.5, 0, 0}));
    EXPECT_EQ(label(CockpitLabel::ServoOutput1), "55");
    EXPECT_EQ(label(CockpitLabel::ServoOutput2), "1.5");

    // Kept within the range the board reports (0 to 180); a formula that cannot be read
    // leaves its motor on the load factor, and says why.
    EXPECT_EQ(cockpit.applyGSuitFormula(1, "200*G"), "");
    EXPECT_NE(cockpit.applyGSuitFormula(2, "G^2"), "");
    tick();
    EXPECT_EQ(board(50001).motors, (std::vector<double>{180, 1.5, 0, 0}));
    EXPECT_EQ(cockpit.applyGSuitFormula(1, ""), "");
    tick();
    EXPECT_EQ(board(50001).motors[0], 1.5);

    // A formula whose numbers overflow is refused as it is read; a load factor that is no
    // number leaves each motor where it is; without a formula the load factor is kept within
    // the motor's range too.
    const QString huge(400, u'9');
    EXPECT_NE(cockpit.applyGSuitFormula(1, huge + "*G-" + huge), "");
    EXPECT_EQ(cockpit.applyGSuitFormula(2, "30*G"), "");
    set(FlightDataField::GS, 2.0);
    tick();
    EXPECT_EQ(board(50001).motors, (std::vector<double>{2, 60, 0, 0}));
    for (double notANumber : {qInf(), -qInf(), qQNaN()}) {
        set(FlightDataField::GS, notANumber);
        tick();
        EXPECT_EQ(board(50001).motors, (std::vector<double>{2, 60, 0, 0})) << notANumber;
    }
    set(FlightDataField::GS, -3.0);
    tick();
    EXPECT_EQ(board(50001).motors, (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(cockpit.applyGSuitFormula(2, ""), "");

    // Typed into its box, a formula counts as soon as it reads; until then the last one holds.
    set(FlightDataField::GS, 2.0);
    cockpit.applyGSuitFormula(2, "20*G", Cockpit::Entry::Typing);
    cockpit.applyGSuitFormula(2, "20*G+", Cockpit::Entry::Typing);
    tick();
    EXPECT_EQ(board(50001).motors[1], 40);
    // A reload whose file has its own formula replaces the typed one, and says so.
    writeConfig(withRequiredSections("[GSUIT-2]\r\n10*G\r\n"));
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    tick();
    EXPECT_EQ(board(50001).motors[1], 20);
    EXPECT_TRUE(m_view.notices.join('|').contains(
        "G-suit formula 2 \"20*G\" typed in its box is replaced by \"10*G\""))
        << m_view.notices.join('|').toStdString();
    set(FlightDataField::GS, -3.0);
    tick();

    // With the screen not refreshed the motors still follow the data.
    cockpit.setNoScreenUpdate(true);
    set(FlightDataField::GS, 4.0);
    tick();
    EXPECT_EQ(board(50001).motors[0], 4.0);
    EXPECT_EQ(label(CockpitLabel::GForce), "-3.000");
}

TEST(GSuitFormula, LinearFormulasInGAreReadAndAnythingElseIsSaidWhy)
{
    const std::pair<const char*, double> readable[] = {
        {"G", 3},         {"30*G", 90},       {"30*G+10", 100},
        {"-15*G+90", 45}, {"G/2", 1.5},       {" 2.5 * g - 1 ", 6.5},
        {"-G", -3},       {"0.5*G/2+.25", 1}, {"", 3}};
    for (const auto& [text, at3] : readable) {
        QString problem;
        const std::optional<GSuitFormula> formula = GSuitFormula::parse(text, &problem);
        ASSERT_TRUE(formula) << text << ": " << problem.toStdString();
        EXPECT_DOUBLE_EQ((*formula)(3), at3) << text;
    }
    for (const char* text : {"G^2", "30*", "*G", "G*30", "G+", "30,5*G", "G/0", "2G2"}) {
        QString problem;
        EXPECT_FALSE(GSuitFormula::parse(text, &problem)) << text;
        EXPECT_FALSE(problem.isEmpty()) << text;
    }
}
