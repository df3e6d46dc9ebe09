#include "db/DBValue.h"

#include "support/Exception.h"

#include <gtest/gtest.h>

namespace linkvane::test {
namespace {

TEST(DBValue, DateTimeTextForms) {
    const QDateTime local(QDate(2026, 3, 4), QTime(5, 6, 7));
    const struct {
        const char* Text;
        QDateTime Expected;
    } cases[] = {
        {"2026/03/04 05:06:07", local},
        {"2026-03-04 05:06:07", local},
        {" 2026-03-04T05:06:07 ", local},
        {"2026-03-04 05:06:07.250", local.addMSecs(250)},
        {"2026-03-04 05:06:07.123456", local.addMSecs(123)},
        {"2026-03-04", QDateTime(QDate(2026, 3, 4), QTime(0, 0))},
        {"2026-03-04 05:06", QDateTime(QDate(2026, 3, 4), QTime(5, 6))},
        {"2026-03-04 05:06:07Z", QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC)},
        {"2026-03-04 05:06:07+02", QDateTime(QDate(2026, 3, 4), QTime(3, 6, 7), Qt::UTC)},
        {"2026-03-04 05:06:07-01:30", QDateTime(QDate(2026, 3, 4), QTime(6, 36, 7), Qt::UTC)},
        {"2026-02-30 05:06:07", {}},
        {"2026-03-04 25:00:00", {}},
        {"2026/03-04", {}},
        {"yesterday", {}},
        {"", {}},
        {"2026-03-04 05:06:07 junk", {}},
    };
    for (const auto& c : cases) {
        const QDateTime got = TextToDateTime(c.Text);
        EXPECT_EQ(got.isValid(), c.Expected.isValid()) << c.Text;
        if (c.Expected.isValid()) {
            EXPECT_EQ(got, c.Expected) << c.Text;
            EXPECT_EQ(got.timeSpec(), Qt::LocalTime) << c.Text;
        }
    }
    EXPECT_EQ(DateTimeToText(local), "2026/03/04 05:06:07");
    EXPECT_EQ(TDBValue::DateTime(local).AsString(), "2026/03/04 05:06:07");
}

TEST(DBValue, ReadingConvertsOrSaysWhyNot) {
    EXPECT_EQ(TDBValue::Text(" 42 ").AsInteger(), 42);
    EXPECT_EQ(TDBValue::Float(2.6).AsInteger(), 3);
    EXPECT_EQ(TDBValue().AsInteger(), 0);
    EXPECT_EQ(TDBValue().AsString(), "");
    EXPECT_EQ(TDBValue::Boolean(true).AsString(), "True");
    EXPECT_EQ(TDBValue::Integer(-7).AsString(), "-7");
    for (const char* yes : {"true", "TRUE", "t", "Yes", "on", "1", "-1"}) {
        EXPECT_TRUE(TDBValue::Text(yes).AsBoolean()) << yes;
    }
    for (const char* no : {"false", "F", "no", "off", "0", ""}) {
        EXPECT_FALSE(TDBValue::Text(no).AsBoolean()) << no;
    }
    EXPECT_TRUE(TDBValue::Integer(2).AsBoolean());
    EXPECT_FALSE(TDBValue().AsBoolean());
    EXPECT_FALSE(TDBValue().AsDateTime().isValid());

    const auto message = [](auto&& f) {
        try {
            f();
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string();
    };
    EXPECT_EQ(message([] { TDBValue::Text("12abc").AsInteger(); }),
              "'12abc' is not a valid integer value");
    EXPECT_EQ(message([] { TDBValue::Text("maybe").AsBoolean(); }),
              "'maybe' is not a valid boolean value");
    EXPECT_EQ(message([] { TDBValue::Text("soon").AsDateTime(); }),
              "'soon' is not a valid date and time");
}

} // namespace
} // namespace linkvane::test
