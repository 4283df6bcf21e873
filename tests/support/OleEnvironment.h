// OLE for a whole drag-and-drop test program, with the drag formats registered
// as the program registers them at start-up. Include in one file per program.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "dragdrop/DragSource.h"

namespace {

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        RegisterDragFormats();
    }
    void TearDown() override { OleUninitialize(); }
};

const ::testing::Environment* const oleEnvironment =
    ::testing::AddGlobalTestEnvironment(new OleEnvironment);

}  // namespace
