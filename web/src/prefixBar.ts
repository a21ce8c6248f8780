// The Wine prefix in the header: which one tvn scans and repairs (or the plain notice that it
// repairs its own folder), and the picker that changes it: the prefixes found on this computer,
// grouped by the tool that made them, a search box, and a folder dialog for one found nowhere.

import { append, clear, el } from "./dom";
import { archLabel, groupPrefixes, sourceLabel } from "./prefixes";
import { format } from "./texts";

export interface PrefixBar {
    element: HTMLElement;
    /** The picker, for the page to place. */
    dialog: HTMLDialogElement;
    /** The prefix in use; null for tvn's own folder. */
    current(): Tvn.WinePrefix | null;
    /** While a run goes on the prefix cannot change. */
    setBusy(busy: boolean): void;
    open(): void;
}

export function createPrefixBar(wine: Tvn.WineModule, sys: Tvn.SysModule, changed: (prefix: Tvn.WinePrefix | null) => void): PrefixBar {
    let current = wine.current;
    let found: Tvn.WinePrefix[] | null = null; // null while the search runs
    let busy = false;

    const element = el("div", { class: "prefix-bar", role: "region", "aria-label": format("aboutPrefix") });
    const changeButton = el("button", { class: "prefix-change", title: format("prefixChangeHint"), onclick: () => open() });
    const showCurrent = () => {
        clear(element);
        if (current) {
            append(element, el("span", { class: "prefix-label" }, format("prefixLabel")),
                el("strong", { class: "prefix-name", title: current.path }, current.name),
                el("span", { class: "prefix-source" }, sourceLabel(current.source)),
                el("span", { class: "prefix-arch" }, archLabel(current.arch)));
            changeButton.textContent = format("prefixChange");
        } else {
            append(element, el("span", { class: "prefix-none", role: "note" }, format("prefixNone")));
            changeButton.textContent = format("prefixChoose");
        }
        changeButton.disabled = busy;
        append(element, changeButton);
    };

    // ---- the picker ----
    const search = el("input", { type: "search", class: "prefix-search", placeholder: format("prefixSearch"), "aria-label": format("prefixSearch"),
        oninput: () => showList() });
    const list = el("div", { class: "prefix-list", role: "group", "aria-label": format("prefixPickerTitle") });
    const message = el("p", { class: "prefix-message", role: "alert" });
    const picker = el("dialog", { class: "prefix-picker", "aria-labelledby": "prefix-picker-title" },
        el("h2", { id: "prefix-picker-title" }, format("prefixPickerTitle")),
        search, list, message,
        el("div", { class: "prefix-actions" },
            el("button", { class: "prefix-folder", onclick: () => chooseFolder() }, format("prefixFolder")),
            el("button", { class: "prefix-own", onclick: () => choose("") }, format("prefixOwn")),
            el("button", { onclick: () => picker.close() }, format("prefixClose"))));

    const options = () => [...list.querySelectorAll<HTMLButtonElement>("button.prefix-option")];
    // Up and down walk the options; down from the search box enters the list.
    picker.addEventListener("keydown", (event) => {
        if (event.key !== "ArrowDown" && event.key !== "ArrowUp")
            return;
        const all = options();
        if (all.length === 0)
            return;
        const at = all.indexOf(document.activeElement as HTMLButtonElement);
        const next = at < 0 ? (event.key === "ArrowDown" ? 0 : -1) : at + (event.key === "ArrowDown" ? 1 : -1);
        if (next < 0 && at >= 0)
            search.focus();
        else if (next >= 0 && next < all.length)
            all[next].focus();
        event.preventDefault();
    });

    function showList(): void {
        clear(list);
        if (found === null) {
            append(list, el("p", { class: "prefix-searching" }, format("prefixSearching")));
            return;
        }
        const groups = groupPrefixes(found, search.value);
        if (groups.length === 0) {
            append(list, el("p", { class: "prefix-empty" }, found.length === 0 ? format("prefixNoneFound") : format("prefixNoMatch", { query: search.value })));
            return;
        }
        for (const group of groups) {
            append(list, el("section", { class: "prefix-group", "data-source": group.source },
                el("h3", {}, group.label),
                el("ul", {}, ...group.prefixes.map((prefix) => el("li", {},
                    el("button", { class: "prefix-option", "data-path": prefix.path, title: prefix.path,
                        "aria-current": prefix.path === current?.path ? "true" : null, onclick: () => choose(prefix.path) },
                        el("span", { class: "option-name" }, prefix.name),
                        el("span", { class: "option-detail" }, `${archLabel(prefix.arch)} · ${prefix.path}`),
                        prefix.path === current?.path ? el("span", { class: "option-current" }, format("prefixInUse")) : null))))));
        }
    }

    function choose(path: string): void {
        if (busy)
            return;
        if (!wine.use(path)) {
            message.textContent = format("prefixRefused", { path });
            return;
        }
        current = wine.current;
        picker.close();
        showCurrent();
        changed(current);
    }

    function chooseFolder(): void {
        sys.openFileDialog({ mode: 2, title: format("prefixFolderTitle"), default_path: current?.path }).then(({ files }) => {
            if (files.length > 0)
                choose(files[0]);
        });
    }

    function open(): void {
        if (busy)
            return;
        found = null;
        search.value = "";
        message.textContent = "";
        showList();
        if (!picker.open)
            picker.showModal();
        search.focus();
        wine.prefixes().then((prefixes) => {
            found = prefixes;
            console.info(`tvn: prefixes: ${prefixes.length} found`);
            if (picker.open)
                showList();
        });
    }

    showCurrent();
    return {
        element,
        dialog: picker,
        current: () => current,
        setBusy(value) {
            busy = value;
            changeButton.disabled = value;
        },
        open,
    };
}
