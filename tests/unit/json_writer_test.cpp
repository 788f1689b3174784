// The JSON writer against nlohmann's own dump, compact and pretty, over the shapes and bytes
// that differ in how they are written.
#include <gtest/gtest.h>

#include "core/json.hpp"

using namespace tarnwick;

TEST(JsonWriter, WritesTheBytesNlohmannWrites) {
    static const char kControls[] =
        "nul \0 \x01 \x1f \x7f"
        "end";
    const std::vector<Json> values = {
        Json::object(),
        Json::array(),
        Json(nullptr),
        Json(true),
        Json(-42),
        Json(18446744073709551615ULL),
        Json(0.5),
        Json(1e300),
        Json("plain"),
        Json("quote \" backslash \\ slash / tab \t nl \n cr \r bs \b ff \f"),
        Json(std::string(kControls, sizeof kControls - 1)),
        Json("caf\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80"),
        Json("bad \xff\xfe utf-8 \xc3"),
        // Escapes at every offset of an eight-byte run, and non-ASCII bytes inside runs.
        Json("0123456\"89abcdef\\ghijklmn\x01pqrstuvw\nxyz\xc3\xa9\xc3\xa9\xc3\xa9"
             "ABCDEFGHIJ\x1f"),
        Json("abcdefgh\"ijklmnop\"qrstuvwx\\"),
        Json::parse(R"({"b":[1,{"c":[]},{}],"a":{"x":null,"y":[true,false]},"":"k"})"),
        Json::parse(R"([[[]],[{}],"s",-1,2.25])"),
    };
    for (const Json& v : values) {
        for (int indent : {-1, 2, 4}) {
            SCOPED_TRACE(v.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace));
            SCOPED_TRACE(indent);
            EXPECT_EQ(write_json(v, indent),
                      v.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace));
        }
    }
    Json key_bytes = Json::object();
    key_bytes["k\x01\"\xff"] = "v";
    EXPECT_EQ(write_json(key_bytes, 2),
              key_bytes.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}
