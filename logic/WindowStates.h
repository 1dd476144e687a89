// The main window's states as data, in the order the design makes the
// changes: what a completed document's page kind shows and hides, and the
// message panel's states around a start. The window applies a row with one
// function; a row is changed here and nowhere else.
#pragma once

#include "PageTitle.h"

#include <algorithm>
#include <span>
#include <vector>

namespace WindowStates {

// The components whose visibility the states change, by their design names.
enum class Component {
    Pnl_Web,
    Pnl_Msg,
    Img_Photo,
    Img_Index,
    Lb_Msg,
    Img_Gif,
    Img_back,
    Lb_Base,
    Lb_Ref,
    Lb_cs
};

struct Change {
    Component component;
    bool shown;
};

// What follows a page kind's changes.
enum class Then { Nothing, ClearOfficerPanels, ReadOfficerInfo };

struct Row {
    std::span<const Change> changes;
    Then then;
};

using enum Component;

// A completed top-level document, by its page kind (its title's keyword):
//
//   kind            Pnl_Web  Img_Photo  Pnl_Msg  Img_Index  then
//   login           shown    hidden     hidden   hidden     officer panels 1, 2 emptied
//   detail or home  shown    hidden     hidden   shown      ReadOfficerInfo
//   list            -        hidden     -        shown      ReadOfficerInfo
//   photo           shown    shown      hidden   shown      -
//   failed load     -        hidden     -        hidden     Lb_Msg, Img_Gif hidden;
//                                                           Img_back, Lb_Base, Lb_Ref, Lb_cs shown
inline constexpr Change kLogin[] = {
    {Pnl_Web, true}, {Img_Photo, false}, {Pnl_Msg, false}, {Img_Index, false}};
inline constexpr Change kDetailOrHome[] = {
    {Pnl_Web, true}, {Img_Photo, false}, {Pnl_Msg, false}, {Img_Index, true}};
inline constexpr Change kList[] = {{Img_Photo, false}, {Img_Index, true}};
inline constexpr Change kPhoto[] = {
    {Pnl_Web, true}, {Img_Photo, true}, {Pnl_Msg, false}, {Img_Index, true}};
inline constexpr Change kFailed[] = {{Img_Photo, false}, {Img_Index, false}, {Lb_Msg, false},
                                     {Img_Gif, false},   {Img_back, true},   {Lb_Base, true},
                                     {Lb_Ref, true},     {Lb_cs, true}};

constexpr Row ForPage(PageKind kind) {
    switch (kind) {
    case PageKind::Login:
        return {kLogin, Then::ClearOfficerPanels};
    case PageKind::DetailOrHome:
        return {kDetailOrHome, Then::ReadOfficerInfo};
    case PageKind::List:
        return {kList, Then::ReadOfficerInfo};
    case PageKind::Photo:
        return {kPhoto, Then::Nothing};
    case PageKind::Failed:
        break;
    }
    return {kFailed, Then::Nothing};
}

// The message panel around a start:
//   loading             the panel over the browser with its loading picture and text
//   error texts hidden  before a new start, the failed load's texts go
//   panel up / down     a page failed beyond a load error / a start that never
//                       came leaves the page shown before usable
inline constexpr Change kLoading[] = {{Pnl_Msg, true}, {Img_Gif, true}, {Lb_Msg, true}};
inline constexpr Change kErrorTextsHidden[] = {
    {Img_back, false}, {Lb_Base, false}, {Lb_Ref, false}, {Lb_cs, false}};
inline constexpr Change kPanelUp[] = {{Pnl_Msg, true}};
inline constexpr Change kPanelDown[] = {{Pnl_Msg, false}};

// Changes made one after another, as one: each component once, at its last
// state, in the order of its first change.
inline std::vector<Change> Net(std::span<const Change> changes) {
    std::vector<Change> net;
    for (const Change& change : changes) {
        const auto same = std::find_if(net.begin(), net.end(), [&](const Change& c) {
            return c.component == change.component;
        });
        if (same == net.end()) {
            net.push_back(change);
        } else {
            same->shown = change.shown;
        }
    }
    return net;
}

} // namespace WindowStates
