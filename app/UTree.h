#pragma once
// The folder tree window.

#include "app/ChildForm.h"

class TFrmTree : public TMDIChildForm {
    Q_OBJECT
public:
    explicit TFrmTree(QWidget* parent = nullptr);
};
