// Window switching of the home view and the navigation bar: one window at a time beside the bar,
// and the tab pictures that show which one it is and whether a member is signed in.
#pragma once

#include "app/form.h"

namespace kv {

class App;

// The bar's six tabs; None is the home view after a restore from the notification area.
enum class NavTab { None, Image1, Image2, Image3, Image6, Image7, Image8 };

// Hides Form1 to Form10 in this order (a window that is not loaded is loaded by the hide and stays
// hidden), then shows `target`.
void ShowOnlyWindow(App& app, FormId target);

// The account tab's switch: hides Form1 to Form6, Form9 and Form10, then shows the account window
// when dl.txt holds the number 1 and the sign-in window otherwise (missing, empty or no number).
void ShowAccountOrSignIn(App& app);

// Assigns the pictures of the bar's six tabs, each read from img/ at the moment of assignment.
// With NavTab::None every tab gets its unselected picture (the restore's order). A picture that
// cannot be read leaves that tab's picture as it was.
void RepaintNavTabs(App& app, NavTab selected);

// Moves a start panel out of the way of the Tmall and own-site switches: to 1% of the screen width
// on screens narrower than 17000 twips, else to 2790 twips. Top and size stay.
void MovePanelAside(App& app, Form& panel);

// The three search switches, shared by each start panel and its twin tab on the bar.
void SwitchToTaobao(App& app);
void SwitchToTmall(App& app);
void SwitchToOwnSite(App& app);

}  // namespace kv
