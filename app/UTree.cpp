#include "app/UTree.h"

TFrmTree::TFrmTree(QWidget* parent) : TMDIChildForm(parent) { SetFormSize(389, 531); }
