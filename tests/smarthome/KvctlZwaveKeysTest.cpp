#include "Commands.h"
#include "smarthome/KeyFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kv::cli {
namespace {

TEST(KvctlZwaveKeys, PrintsAKeyFileAsJson) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    SetKeyDirectory(tmp.path());
    ASSERT_EQ(CreateKeyFile(7), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyName(7, 3, QStringLiteral("电视 \"on\"")), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyStatus(7, 3, 1), KeyFileStatus::Ok);
    {
        QFile damaged(KeyFilePath(9));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("<Keys><Key Index=\"0\" Name=\"Power\" Status=\"1\"/><Key Ind");
    }
    SetKeyDirectory(QString());

    const std::string dir = "--dir=" + tmp.path().toStdString();
    struct Row {
        std::vector<std::string> words;
        int code;
        std::vector<const char*> out; ///< parts expected on stdout
        const char* err;              ///< part expected on stderr
    };
    const std::vector<Row> rows = {
        {{"zwave", "keys", "7", dir},
         0,
         {"\"node\": 7", "7.xml",
          "\"index\": 0,\n      \"learned\": false,\n      \"name\": \"Key1\"",
          "\"index\": 3,\n      \"learned\": true,\n      \"name\": \"电视 \\\"on\\\"\"",
          "\"name\": \"Key32\""},
         ""},
        {{"zwave", "keys", "9", dir},
         1,
         {"\"index\": 0,\n      \"learned\": true,\n      \"name\": \"Power\""},
         "9.xml: damaged; the keys before the damage are listed"},
        {{"zwave", "keys", "8", dir}, 1, {}, "8.xml: there is no key file"},
        {{"zwave", "keys", "1"}, 2, {}, "usage: kvctl zwave keys NODE"},
        {{"zwave", "keys"}, 2, {}, "usage: kvctl zwave keys NODE"},
    };
    for (const Row& row : rows) {
        std::string line;
        for (const std::string& word : row.words) {
            line += word + " ";
        }
        SCOPED_TRACE(line);
        std::ostringstream out;
        std::ostringstream err;
        Io io{out, err};
        EXPECT_EQ(Dispatch(row.words, io), row.code) << err.str();
        for (const char* part : row.out) {
            EXPECT_NE(out.str().find(part), std::string::npos) << part << "\n" << out.str();
        }
        EXPECT_NE(err.str().find(row.err), std::string::npos) << err.str();
    }
}

} // namespace
} // namespace kv::cli
