#include <gtest/gtest.h>

#include "store/device_models.h"
#include "store/tree_order.h"
#include "store/fake_window.h"
#include "store/store_fixture.h"

TEST(DeviceModels, TableHoldsEveryModelWithItsCodePortsAndCategory) {
  struct Row {
    int index;
    const char* name;
    std::uint32_t code;
    int ports;
  };
  const Row rows[] = {{1, "TORL7370", 0x7370, 2},    {2, "TORL7371", 0x7371, 1},    {3, "VEQ7304", 0x7304, 4},
                      {4, "TORL7370L", 0xB370, 2},   {5, "TORL7371L", 0xB371, 1},   {6, "VEQ7308(R)+", 0x7308, 8},
                      {7, "VEQ7316(R)+", 0x7316, 16}, {8, "TORL7370W", 0xC370, 2},   {9, "TORL7371W", 0xC371, 1},
                      {10, "TORL7370S", 0xA370, 2},  {11, "TORL7371S", 0xA371, 1}};
  for (const Row& row : rows) {
    const DeviceModel* model = ModelByIndex(row.index);
    ASSERT_NE(model, nullptr) << row.index;
    EXPECT_STREQ(model->name, row.name);
    EXPECT_EQ(model->code, row.code);
    EXPECT_EQ(DevicePortCount(row.index), row.ports);
    EXPECT_EQ(model->categoryId, 0x8000 | row.index);
    EXPECT_EQ(std::string(CategoryText(model->categoryId)),
              std::string("These ports have already been assigned to ") + row.name + " port.");
  }
  EXPECT_EQ(ModelByIndex(0), nullptr);
  EXPECT_EQ(ModelByIndex(12), nullptr);
  EXPECT_EQ(DevicePortCount(KIND_UNUSED), 0);
}

TEST(DeviceModels, OnlyTheNineOfferedCodesAreAccepted) {
  EXPECT_EQ(AcceptedModelIndexOfCode(0x7370), 1);
  EXPECT_EQ(AcceptedModelIndexOfCode(0x7316), 7);
  EXPECT_EQ(AcceptedModelIndexOfCode(0xC371), 9);
  EXPECT_EQ(AcceptedModelIndexOfCode(0xA370), 0);
  EXPECT_EQ(AcceptedModelIndexOfCode(0xA371), 0);
  EXPECT_EQ(AcceptedModelIndexOfCode(0x1234), 0);
}

TEST(DeviceModels, CategoryIdsAreKindsWithBit15) {
  EXPECT_EQ(CATEGORY_USED, 0x8F00);
  EXPECT_EQ(CATEGORY_UNUSED, 0x8F01);
  EXPECT_EQ(KindOfCategoryId(CATEGORY_UNUSED), KIND_UNUSED);
  EXPECT_TRUE(IsCategoryKind(0x8003));
  EXPECT_FALSE(IsCategoryKind(KIND_USED));
  EXPECT_STREQ(CategoryCaption(0x8003), "VEQ7304  Ports");
  EXPECT_EQ(CategoryCaption(0x800A), nullptr);  // no category for the secure models
  EXPECT_STREQ(CategoryText(CATEGORY_USED),
               "These ports have already been used by the system. Therefore, neither of them can be "
               "assigned to the VEQ COMPort device.");
  EXPECT_STREQ(CategoryText(CATEGORY_UNUSED), "These ports is free to be used for the VEQ COMPort device.");
}

TEST(TreeOrder, PortsStandInNumericOrderByLengthFirst) {
  std::vector<std::string> texts = {"COM100", "COM10", "COM2", "COM1", "COM9"};
  std::sort(texts.begin(), texts.end(), [](auto& a, auto& b) { return CompareNodeTexts(a, b) < 0; });
  EXPECT_EQ(texts, (std::vector<std::string>{"COM1", "COM2", "COM9", "COM10", "COM100"}));
  EXPECT_EQ(CompareNodeTexts("COM5", "COM5"), 0);
  // Bytes compare unsigned: a high byte sorts after ASCII.
  EXPECT_GT(CompareNodeTexts("\xE9", "z"), 0);
}

using StoreCategories = StoreFixture;

TEST_F(StoreCategories, OpenRegistryBuildsElevenCategoriesThatSortInTheFixedOrder) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(window.RootTexts(),
            (std::vector<std::string>{"Used Ports", "TORL7370 Ports", "TORL7371 Ports", "VEQ7304  Ports",
                                      "TORL7370L Ports", "TORL7371L Ports", "VEQ7308(R)+ Ports", "VEQ7316(R)+ Ports",
                                      "TORL7370W Ports", "TORL7371W Ports", "Unused Ports"}));
  window.SortTree();
  EXPECT_EQ(window.RootTexts(),
            (std::vector<std::string>{"Used Ports", "Unused Ports", "TORL7370 Ports", "TORL7371 Ports",
                                      "VEQ7304  Ports", "TORL7370L Ports", "TORL7370W Ports", "TORL7371L Ports",
                                      "TORL7371W Ports", "VEQ7308(R)+ Ports", "VEQ7316(R)+ Ports"}));
  EXPECT_EQ(store().modelHeaders[10], nullptr);
  EXPECT_EQ(store().modelHeaders[11], nullptr);
  for (auto& node : window.root.children) {
    auto* header = static_cast<TTorl7370PortHeader*>(node->record);
    EXPECT_EQ(header->node, node.get());
    EXPECT_EQ(header->manager, &store());
    EXPECT_EQ(header->GetHeader(), header);
    EXPECT_EQ(header->comNumber, 0);
    EXPECT_STREQ(header->name, "");
    EXPECT_STREQ(header->description, CategoryText(header->kind));
  }
  EXPECT_EQ(store().HeaderOfCategory(0x8007), store().modelHeaders[7]);
  EXPECT_EQ(store().HeaderOfCategory(CATEGORY_USED), store().usedHeader);
}

TEST_F(StoreCategories, EntriesTakeTheDefaultsOfTheirKind) {
  ASSERT_TRUE(Open());
  TTorl7370PortEntry used(store().usedHeader, 3);
  EXPECT_EQ(used.kind, KIND_USED);
  EXPECT_STREQ(used.name, "COM3");
  EXPECT_STREQ(used.description, "The port can not be configured by this program.");
  EXPECT_EQ(used.devicePort, -1);
  EXPECT_EQ(used.devicePortEdit, -1);
  TTorl7370PortEntry unused(store().unusedHeader, 200);
  EXPECT_EQ(unused.kind, KIND_UNUSED);
  EXPECT_EQ(unused.modelCode, 0u);
  EXPECT_EQ(unused.devicePort, 0);
  EXPECT_EQ(unused.autoReconnEdit, 1u);
  EXPECT_EQ(unused.autoReconn, 0u);
  EXPECT_EQ(unused.secMethod, 1u);
  EXPECT_EQ(unused.enumId, -1);
  TTorl7370PortEntry mapped(store().modelHeaders[6], 12);
  EXPECT_EQ(mapped.kind, 6);
  EXPECT_EQ(mapped.modelCode, 0x7308u);
  EXPECT_EQ(mapped.GetHeader(), store().modelHeaders[6]);
}
