// What the play-state logic asks of the local file panel: select a file, take in a new
// recording, show the local tab.
// Threading: main window's thread only. The default methods do nothing.
#pragma once

#include <string>

class MyFile;
class TreeNode;

class IFilePanel {
public:
    virtual ~IFilePanel() = default;
    virtual void SelectFile(TreeNode* /*file*/) {}
    // Adds `file` to the first group of the local file lists (stored and shown); the panel's
    // store then owns it. False when it was not taken (the caller still owns it).
    virtual bool AddToFirstGroup(MyFile* /*file*/) { return false; }
    // The name of the group AddToFirstGroup fills.
    virtual std::u16string FirstGroupName() const { return u"默认分组"; }
    virtual void ShowLocalTab() {}
};
