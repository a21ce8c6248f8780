// The window's own title bar: a drag strip (--app-region: drag; the window moves when it is dragged
// and, being resizable, maximises on a double click) with minimise, maximise/restore and close.

import iconUrl from "../../app/icons/tvn.svg";
import { el } from "./dom";
import { format } from "./texts";

export interface TitleBarActions {
    minimize(): void;
    toggleMaximize(): void;
    close(): void;
}

export interface TitleBar {
    element: HTMLElement;
    setMaximized(maximized: boolean): void;
}

export function createTitleBar(actions: TitleBarActions): TitleBar {
    const maximize = el("button", { class: "window-button maximize", title: format("maximize"), "aria-label": format("maximize"), onclick: () => actions.toggleMaximize() }, "□");
    const element = el("header", { class: "title-bar" },
    el("img", { class: "title-icon", src: iconUrl, alt: "" }),
    el("h1", { class: "title" }, format("appTitle")),
    el("span", { class: "subtitle" }, format("appSubtitle")),
    el("div", { class: "window-buttons" },
        el("button", { class: "window-button minimize", title: format("minimize"), "aria-label": format("minimize"), onclick: () => actions.minimize() }, "–"),
        maximize,
        el("button", { class: "window-button close", title: format("close"), "aria-label": format("close"), onclick: () => actions.close() }, "✕")));
    return {
        element,
        setMaximized(maximized) {
            const label = format(maximized ? "restore" : "maximize");
            maximize.title = label;
            maximize.setAttribute("aria-label", label);
            maximize.textContent = maximized ? "❐" : "□";
        },
    };
}
