// Named mutexes and semaphores: what an open or a create found, told apart
// by kind (the single-instance check and the run lock decide on it), and a
// semaphore's count taken and refused.
#include <gtest/gtest.h>

#include "sysaccess/named_objects.h"

namespace veltrane {

namespace {

constexpr wchar_t kMutexName[] = L"Local\\VeltraneNamedObjectsTestMutex";
constexpr wchar_t kSemaphoreName[] = L"Local\\VeltraneNamedObjectsTestSemaphore";
constexpr DWORD kWaitAndRelease = SYNCHRONIZE | SEMAPHORE_MODIFY_STATE;

TEST(NamedObjects, OpenAndCreateSayWhatTheyFound) {
    const NamedObject missing = OpenNamedMutex(kMutexName, SYNCHRONIZE);
    EXPECT_EQ(missing.kind, NamedObject::Kind::kNotFound);
    EXPECT_FALSE(missing.handle);

    const NamedObject first = CreateNamedMutex(kMutexName, true);
    ASSERT_EQ(first.kind, NamedObject::Kind::kCreated);
    // A second start finds the first one's mutex, whichever call it makes.
    const NamedObject second = CreateNamedMutex(kMutexName, true);
    EXPECT_EQ(second.kind, NamedObject::Kind::kAlreadyExisted);
    EXPECT_TRUE(second.handle);
    const NamedObject opened = OpenNamedMutex(kMutexName, SYNCHRONIZE, Inheritance::kInherited);
    EXPECT_EQ(opened.kind, NamedObject::Kind::kOpened);

    // The name taken by another kind of object is a refusal, not a missing
    // object that could be created: the run lock must not call it free.
    const NamedObject wrongKind = OpenNamedSemaphore(kMutexName, kWaitAndRelease);
    EXPECT_EQ(wrongKind.kind, NamedObject::Kind::kFailed);
    EXPECT_NE(wrongKind.error, static_cast<DWORD>(ERROR_SUCCESS));
    const NamedObject wrongCreate = CreateNamedSemaphore(kMutexName, 1, 1, kWaitAndRelease);
    EXPECT_EQ(wrongCreate.kind, NamedObject::Kind::kFailed);
    EXPECT_FALSE(wrongCreate.handle);
}

TEST(NamedObjects, ACountIsTakenOnceAndHeldByItsOwnHandle) {
    NamedObject lock = CreateNamedSemaphore(kSemaphoreName, 1, 1, kWaitAndRelease);
    ASSERT_EQ(lock.kind, NamedObject::Kind::kCreated);
    CountTake taken = TakeCountIfFree(lock.handle.Get());
    ASSERT_EQ(taken.kind, CountTake::Kind::kTaken);
    // The holder's handle stays usable after the one it came from closed.
    const NamedObject other = OpenNamedSemaphore(kSemaphoreName, kWaitAndRelease);
    ASSERT_EQ(other.kind, NamedObject::Kind::kOpened);
    lock.handle.Close();
    EXPECT_EQ(TakeCountIfFree(other.handle.Get()).kind, CountTake::Kind::kBusy);
    ASSERT_TRUE(ReleaseSemaphore(taken.held.Get(), 1, nullptr));
    EXPECT_EQ(TakeCountIfFree(other.handle.Get()).kind, CountTake::Kind::kTaken);
}

}  // namespace

}  // namespace veltrane
