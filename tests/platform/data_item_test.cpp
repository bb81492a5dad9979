// Data items and string handles: contents, growth, the size ceiling and who may free what.
#include <cstring>

#include "tests/platform/transport_fixture.h"

namespace qiro::testing {
namespace {

class DataItemTest : public TransportTest {
  protected:
    Client client_;
};

TEST_F(DataItemTest, AddDataGrowsTheItemAndFillsGapsWithZeros) {
    HDDEDATA item = client_.makeItem("header");
    ASSERT_NE(item, nullptr);
    const BYTE tail[] = {'t', 'a', 'i', 'l'};
    item = DdeAddData(item, tail, sizeof tail, 10);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(client_.readItem(item), std::string("header\0\0\0\0tail", 14));
    // Overwriting inside the item keeps its size.
    item = DdeAddData(item, tail, 2, 0);
    EXPECT_EQ(client_.readItem(item), std::string("taader\0\0\0\0tail", 14));
    BYTE part[8] = {};
    EXPECT_EQ(DdeGetData(item, part, sizeof part, 10), 4u);
    EXPECT_EQ(std::memcmp(part, "tail", 4), 0);
    EXPECT_EQ(DdeGetData(item, part, sizeof part, 14), 0u);
    EXPECT_EQ(DdeGetData(item, nullptr, 0, 0), 14u);
    EXPECT_TRUE(DdeFreeDataHandle(item));
}

TEST_F(DataItemTest, GrowingIntoSharedMemoryKeepsTheContent) {
    std::string start = "0123456789";
    HDDEDATA item = client_.makeItem(start);
    std::string big(300 * 1024, 'q');
    item = DdeAddData(item, reinterpret_cast<const BYTE*>(big.data()),
                      static_cast<DWORD>(big.size()), static_cast<DWORD>(start.size()));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(client_.readItem(item) == start + big);
    DWORD size = 0;
    BYTE* bytes = DdeAccessData(item, &size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(size, start.size() + big.size());
    bytes[0] = 'X';  // changes through the access pointer are the item's content
    EXPECT_TRUE(DdeUnaccessData(item));
    EXPECT_FALSE(DdeUnaccessData(item));  // no access left to end
    EXPECT_EQ(client_.readItem(item)[0], 'X');
    EXPECT_TRUE(DdeFreeDataHandle(item));
}

TEST_F(DataItemTest, ItemsBeyondTheCeilingCannotBeMadeOrGrown) {
    EXPECT_EQ(DdeCreateDataHandle(client_.instance(), nullptr, DDE_MAX_DATA_SIZE + 1, 0, nullptr, 0,
                                  HDATA_APPOWNED),
              nullptr);
    EXPECT_EQ(DdeGetLastError(client_.instance()), DMLERR_MEMORY_ERROR);
    HDDEDATA item = client_.makeItem("x");
    const BYTE byte = 1;
    EXPECT_EQ(DdeAddData(item, &byte, 1, DDE_MAX_DATA_SIZE), nullptr);
    EXPECT_EQ(DdeAddData(item, &byte, 0xFFFFFFFF, 0xFFFFFFFF), nullptr);  // no wrap-around
    EXPECT_EQ(client_.readItem(item), "x");  // a refused growth leaves the item as it was
    EXPECT_TRUE(DdeFreeDataHandle(item));
}

TEST_F(DataItemTest, CreateTakesItsBytesFromTheSourceOffset) {
    const BYTE source[] = {'a', 'b', 'c', 'd', 'e'};
    HDDEDATA item =
        DdeCreateDataHandle(client_.instance(), source, 3, 2, nullptr, 0, HDATA_APPOWNED);
    EXPECT_EQ(client_.readItem(item), "cde");
    DdeFreeDataHandle(item);
    item = DdeCreateDataHandle(client_.instance(), nullptr, 4, 0, nullptr, 0, HDATA_APPOWNED);
    EXPECT_EQ(client_.readItem(item), std::string(4, '\0'));
    DdeFreeDataHandle(item);
}

TEST_F(DataItemTest, StringHandlesBelongToTheirInstance) {
    HSZ name = DdeCreateStringHandleA(client_.instance(), "QIRO 9", CP_WINANSI);
    ASSERT_NE(name, nullptr);
    Client other;
    EXPECT_FALSE(DdeFreeStringHandle(other.instance(), name));
    EXPECT_TRUE(DdeFreeStringHandle(client_.instance(), name));
    std::string tooLong(256, 'n');
    EXPECT_EQ(DdeCreateStringHandleA(client_.instance(), tooLong.c_str(), CP_WINANSI), nullptr);
    EXPECT_EQ(DdeCreateStringHandleA(0, "QIRO 9", CP_WINANSI), nullptr);
}

TEST_F(TransportTest, ClipboardFormatsAreStableAndDistinct) {
    UINT qiro = RegisterClipboardFormatA("QIRO");
    EXPECT_GE(qiro, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("QIRO"), qiro);
    EXPECT_EQ(RegisterClipboardFormatA("qiro"), qiro);  // names compare without case
    UINT other = RegisterClipboardFormatA("Other");
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, qiro);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
}

}  // namespace
}  // namespace qiro::testing
