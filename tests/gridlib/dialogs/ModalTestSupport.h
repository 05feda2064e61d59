#pragma once
// Modal windows in tests: the function runs on the next modal window once it is shown, so no
// test waits on a window.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

inline void OnModal(std::function<void(QWidget*)> fn)
{
    QTimer::singleShot(0, [fn] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        fn(w);
    });
}
