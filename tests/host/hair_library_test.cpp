// The hair library: its read/write lock and the guides it generates from the
// document's hair data (all, the first few, or resampled).
#include "host/hair_library.h"

#include <gtest/gtest.h>

#include "host/document.h"
#include "host/document_loader.h"

namespace {

using namespace host;

std::unique_ptr<BaseDocument> hairDocument() {
    return LoadDocumentText(R"({"objects": [
      {"type": "hair", "name": "Fur", "hair": {"segments": 2,
        "guides": [[[0, 0, 0], [0, 1, 0], [0, 3, 0]], [[1, 0, 0], [1, 2, 0], [1, 4, 0]]],
        "rootUV": [[0.1, 0.2], [0.3, 0.4]]}},
      {"type": "hair", "name": "Bald"},
      {"type": "null", "name": "Plain"}]})",
                            "");
}

TEST(HairLibrary, ReadLocksAreCountedAndAWriteLockExcludesEveryOther) {
    const auto doc = hairDocument();
    BaseObject* fur = doc->GetFirstObject();
    BaseObject* plain = fur->GetNext()->GetNext();
    HairLibrary lib;
    EXPECT_FALSE(lib.Lock(plain, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    EXPECT_FALSE(lib.Lock(nullptr, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));

    ASSERT_TRUE(lib.Lock(fur, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    ASSERT_TRUE(lib.Lock(fur, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    EXPECT_EQ(lib.GetLockCount(fur), 2);
    EXPECT_FALSE(lib.Lock(fur, doc.get(), nullptr, true, HAIR_LOCK_FLAGS_NONE));
    lib.Unlock(fur);
    lib.Unlock(fur);
    EXPECT_EQ(lib.GetLockCount(fur), 0);
    lib.Unlock(fur);  // nothing held: no effect
    EXPECT_EQ(lib.GetLockCount(fur), 0);

    ASSERT_TRUE(lib.Lock(fur, doc.get(), nullptr, true, HAIR_LOCK_FLAGS_NONE));
    EXPECT_EQ(lib.GetLockCount(fur), -1);
    EXPECT_FALSE(lib.Lock(fur, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    lib.Unlock(fur);
    EXPECT_EQ(lib.GetLockCount(fur), 0);
}

TEST(HairLibrary, GuidesNeedTheLockAndComeAsTheDocumentKeepsThem) {
    const auto doc = hairDocument();
    BaseObject* fur = doc->GetFirstObject();
    BaseObject* bald = fur->GetNext();
    HairLibrary lib;
    EXPECT_EQ(lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, -1, -1), nullptr);  // not locked

    ASSERT_TRUE(lib.Lock(fur, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    ASSERT_TRUE(lib.Lock(bald, doc.get(), nullptr, false, HAIR_LOCK_FLAGS_NONE));
    EXPECT_EQ(lib.GenerateGuides(bald, HAIR_GENERATE_FLAGS_NONE, -1, -1), nullptr);  // no hair data

    const auto all = lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, -1, -1);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->GetCount(), 2);
    EXPECT_EQ(all->GetSegmentCount(), 2);
    ASSERT_EQ(all->GetPointCount(), 6);
    EXPECT_EQ(all->GetPoints()[4], Vector(1, 2, 0));
    EXPECT_EQ(all->GetRootUV(1), Vector(0.3, 0.4, 0));
    EXPECT_EQ(all->GetRootUV(2), Vector());
    EXPECT_EQ(all->GetRootUV(-1), Vector());

    const auto first = lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, 1, -1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetCount(), 1);
    EXPECT_EQ(first->GetPointCount(), 3);
    EXPECT_EQ(lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, 0, -1), nullptr);

    // Four segments: the points halfway between the document's.
    const auto fine = lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, -1, 4);
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(fine->GetSegmentCount(), 4);
    ASSERT_EQ(fine->GetPointCount(), 10);
    const Float ys[] = {0, 1, 2, 3, 4};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(fine->GetPoints()[5 + k], Vector(1, ys[k], 0)) << k;
    const auto single = lib.GenerateGuides(fur, HAIR_GENERATE_FLAGS_NONE, -1, 0);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->GetPointCount(), 2);
    EXPECT_EQ(single->GetPoints()[1], Vector(1, 0, 0));  // the roots
    lib.Unlock(fur);
    lib.Unlock(bald);
}

}  // namespace
