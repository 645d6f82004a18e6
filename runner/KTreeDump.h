#pragma once
// The live world tree as JSON, so that a headless run can show where its
// objects are and what their scripts are doing.

#include <string>

class Kobject;

// An array with one object per node below root, depth first (boards at
// depth 0): name, ids, geometry, view, execution state, and with withCells
// the cells as rows of [char, fg, bg, attrib].
std::string KTreeJson(const Kobject& root, bool withCells);
