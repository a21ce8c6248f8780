// The page: title bar, tool bar, the six views and the status bar, rendered around the page's
// controller (controller.ts), which holds the run, the selection and the settings. A change of
// language renders the page anew around the same controller, a run going on included.

import { createAboutView } from "./about";
import type { Catalog } from "./catalog";
import { PageController, type ControllerPorts } from "./controller";
import { append, clear, el } from "./dom";
import { createDownloadsPanel } from "./downloads";
import { describeDroppedFile } from "./drop";
import { createHistoryView, type HistoryView } from "./history";
import { createItemTable, type ItemTable } from "./itemTable";
import { finishedText, overallProgress, retryItems, runText, statusText, viewCountText, type ItemKind, type ItemState } from "./items";
import { createLogsView, type LogsView } from "./logsView";
import { createPrefixBar } from "./prefixBar";
import { prefixSummary } from "./prefixes";
import { createPreviewDialog, withSizes, type PreviewDialog } from "./preview";
import { programToCheck } from "./programCheck";
import { createProgramCheck, type ProgramCheck } from "./programCheckView";
import type { RunSummary, SessionEvents } from "./session";
import type { Settings } from "./settings";
import { createSettingsView } from "./settingsView";
import { createTitleBar } from "./titleBar";
import { desktopLanguage, format, intlLocale, language, setLanguage } from "./texts";

interface Modules {
    sys: Tvn.SysModule;
    window: Tvn.WindowModule;
    engine: Tvn.BizRepairModule;
    zip: Tvn.ZipModule;
    dragdrop: Tvn.DragDropModule;
    trayicon: Tvn.TrayIconModule;
    wine: Tvn.WineModule;
}

const kTrayLeftUp = 514;
const kTrayDoubleClick = 515;

/** The language the settings name, or the desktop's. */
function pageLanguage(settings: Settings, sys: Tvn.SysModule) {
    return settings.language === "desktop" ? desktopLanguage(sys.languages) : settings.language;
}

export function startApp(root: HTMLElement, catalog: Catalog, modules: Modules): void {
    const { sys } = modules;
    const start = { autorun: sys.argv.includes("--autorun"), checkPath: programToCheck(sys.argv) };
    const controller = new PageController(catalog, modules.engine, sys, start);
    let listeners = new AbortController();
    const render = (first: boolean) => {
        listeners.abort(); // the last rendering's document listeners
        listeners = new AbortController();
        setLanguage(pageLanguage(controller.settings, sys));
        document.documentElement.lang = intlLocale();
        clear(root);
        renderPage(root, controller, modules, { first, signal: listeners.signal, rerender: () => render(false) });
    };
    render(true);
}

interface Rendering {
    /** The page's first rendering: the one that starts what a start asks for. */
    first: boolean;
    /** Ends the rendering's document listeners. */
    signal: AbortSignal;
    rerender(): void;
}

function renderPage(root: HTMLElement, controller: PageController, modules: Modules, rendering: Rendering): void {
    const { sys, window: win } = modules;
    const { session, catalog, start } = controller;
    const { signal } = rendering;

    // The frame the window draws around the page (while resizable) takes the page's background.
    const applyTheme = () => {
        document.documentElement.dataset.theme = controller.settings.theme;
        win.setBackground(getComputedStyle(document.body).backgroundColor);
    };
    applyTheme();
    matchMedia("(prefers-color-scheme: dark)").addEventListener("change", applyTheme, { signal });
    const titleBar = createWindowChrome(controller, modules);

    // ---- the items ----
    const statusBar = createStatusBar(controller);
    const prefixAbout = el("dd", { class: "about-prefix" });
    const prefixBar = createPrefixBar(modules.wine, sys, (prefix) => {
        usePrefix(prefix, true);
        statusBar.say(prefix ? format("prefixChanged", { prefix: prefixSummary(prefix) }) : format("prefixChangedOwn"));
        controller.scanAll(); // the rows described the other prefix
    });
    const usePrefix = (prefix: Tvn.WinePrefix | null, changed: boolean) => {
        controller.usePrefix(prefix, changed);
        prefixAbout.textContent = prefix ? `${prefixSummary(prefix)}: ${prefix.path}` : format("prefixNone");
        prefixAbout.title = prefix?.path ?? "";
    };
    const itemViews = createItemViews(controller, () => toolBar.showSelection());
    const toolBar = createToolBar(controller, () => programCheck.open());
    const programCheck = createProgramCheck(modules.wine, sys, catalog, {
        repair: (plan) => controller.run("repair", controller.requestForPlan(plan)),
        analyzed: (needs, plan) => controller.programAnalyzed(needs, plan),
    });
    const previewDialog = createPreviewDialog();
    const logsView = createLogsView(sys);
    const historyView = createHistoryView(modules.wine, () => session.running !== null);
    const settingsView = createSettingsView(controller.settings, (key, value) => {
        controller.setSetting(key, value);
        applyTheme();
        if (key === "language" && pageLanguage(controller.settings, sys) !== language())
            rendering.rerender(); // every text anew, in the other language
    }, () => modules.trayicon.hosted, sys);
    const views = createViews([
        [format("tabLibraries"), el("div", {}, itemViews.counts.dll, itemViews.tables.dll.element)],
        [format("tabRuntimes"), el("div", {}, itemViews.counts.runtime, itemViews.tables.runtime.element)],
        [format("tabDownloads"), createDownloadsPanel(modules.engine, sys, catalog.downloads)],
        [format("tabHistory"), historyView.element],
        [format("tabSettings"), settingsView.element],
        [format("tabAbout"), createAboutView(sys, catalog.home, prefixAbout, () => logsView.open())],
    ], (element) => {
        const table = element.contains(itemViews.tables.dll.element) ? "dll" : element.contains(itemViews.tables.runtime.element) ? "runtime" : null;
        toolBar.showFor(table);
        if (element.contains(settingsView.element))
            settingsView.refresh();
        if (element.contains(historyView.element))
            historyView.refresh();
    });
    const banner = createBanner(controller);
    const drop = createDropPanel(controller, modules, programCheck, signal);
    listenToKeys(controller, { previewDialog, logsView, historyView, programCheck, prefixBar, views }, signal);
    const privacy = createPrivacyNotice(sys, start.autorun);

    // ---- the controller's questions and the session's events go to this rendering ----
    const ports: ControllerPorts = {
        async confirm(preview, request) {
            const confirmed = previewDialog.ask(preview);
            const files = [...request.dlls.map((dll) => ({ fileName: dll.fileName, fileType: dll.fileType ?? "" })),
                ...request.softwares.map((software) => ({ fileName: software.fileName }))];
            modules.engine.downloadSizes(files).then((answer) => previewDialog.update(withSizes(preview, answer.sizes)));
            return confirmed;
        },
        // What a repair will change, said before it starts.
        target() {
            const prefix = prefixBar.current();
            return prefix ? format("confirmRepairIn", { prefix: prefixSummary(prefix), path: prefix.path })
                : format("confirmRepairOwn", { path: sys.getAppDataPath().replace(/[\\/]+$/, "") + "/drive_c" });
        },
        status: (text) => statusBar.say(text),
        log: (line) => console.info(line),
    };
    const events: SessionEvents = {
        item(item) {
            itemViews.update(item);
            statusBar.itemChanged(item);
        },
        running(operation) {
            prefixBar.setBusy(operation !== null);
            itemViews.setBusy(operation !== null);
            toolBar.setRunning(operation !== null, session.isCancelling);
            if (operation)
                banner.hide();
            statusBar.showOverall();
        },
        finished(summary) {
            statusBar.finished(summary);
            if (summary.operation !== "repair")
                return;
            banner.show(summary);
            itemViews.showSelection(); // the controller let the repaired selection go
            toolBar.showSelection();
            if (views.shows(historyView.element))
                historyView.refresh(); // the run just made is in it
            if (start.checkPath || programCheck.dialog.open)
                programCheck.refresh();
        },
    };
    controller.attach(events, ports);
    for (const kind of ["dll", "runtime"] as const)
        for (const entry of kind === "dll" ? catalog.dlls : catalog.runtimes)
            itemViews.update(session.item(kind, entry.fileName));
    usePrefix(prefixBar.current(), rendering.first);

    // The title bar comes last in the document (first on screen): Tab starts at the content, not at
    // the window's buttons.
    append(root, prefixBar.element, privacy.element, toolBar.element, views.tabList, banner.element, ...views.panels,
        statusBar.element, titleBar, itemViews.announcer, drop.hint, drop.dialog, prefixBar.dialog, programCheck.dialog,
        previewDialog.element, logsView.dialog, historyView.dialog);
    views.select(rendering.first ? 0 : views.indexOf(settingsView.element)); // a new rendering comes from the Settings view
    if (rendering.first)
        (privacy.element.hidden ? toolBar.scanButton : privacy.keepButton).focus();

    if (!rendering.first) {
        events.running(session.running); // a run going on goes on in the new rendering
        return;
    }
    if (start.autorun)
        console.info(`tvn: ready: ${catalog.dlls.length} libraries, ${catalog.runtimes.length} runtimes`);
    if (start.checkPath)
        programCheck.open(start.checkPath);
    else if (start.autorun || controller.settings.scanAtStart)
        controller.scanAll();
}

/** The title bar, the window's size and the tray icon. Returns the title bar's element. */
function createWindowChrome(controller: PageController, modules: Modules): HTMLElement {
    const { window: win, sys } = modules;
    const { session } = controller;
    win.resizable = true;
    let maximized = false;
    // Closing during a run asks first; Enter keeps it running.
    const closeWindow = () => {
        if (session.running && !controller.start.autorun && sys.msgBox({ title: format("confirmTitle"), main: format("confirmClose"),
            text: format("confirmCloseText"), icon: "warning",
            buttons: [{ name: "keep", text: format("confirmCloseKeep") }, { name: "close", text: format("confirmCloseStop") }] }) !== "close")
            return;
        session.cancel();
        win.close();
    };
    const titleBar = createTitleBar({
        // Hidden to the tray only when a tray is there to bring the window back.
        minimize: () => (controller.settings.minimizeToTray && modules.trayicon.hosted ? win.hide() : win.minimize()),
        toggleMaximize: () => (maximized ? win.restore() : win.maximize()),
        close: closeWindow,
    });
    win.onSize((type) => {
        maximized = type === 2;
        titleBar.setMaximized(maximized);
    });
    modules.trayicon.add({ callback: (event) => {
        if (event.msg === kTrayLeftUp || event.msg === kTrayDoubleClick) {
            win.show();
            win.bringWindowToFront();
        }
    } });
    return titleBar.element;
}

interface ItemViews {
    tables: Record<ItemKind, ItemTable>;
    /** Each view's count ("3 of 8 libraries missing"). */
    counts: Record<ItemKind, HTMLElement>;
    /** A row that fails says so to a screen reader as it happens. */
    announcer: HTMLElement;
    update(item: ItemState): void;
    setBusy(busy: boolean): void;
    showSelection(): void;
}

/** The Libraries and Runtimes tables with their counts. `selectionChanged`: the user changed one. */
function createItemViews(controller: PageController, selectionChanged: () => void): ItemViews {
    const { catalog, session } = controller;
    const table = (kind: ItemKind, label: string, rows: { fileName: string; name: string; description: string }[]) =>
        createItemTable(label, rows, "repairOne", (fileName) => void controller.run("repair", controller.requestFor([session.item(kind, fileName)])), {
            isSelected: (fileName) => controller.isSelected(kind, fileName),
            select: (fileName, on) => controller.select(kind, fileName, on),
            selectAll: (on) => controller.selectAll(kind, on),
            changed: selectionChanged,
        });
    const tables: Record<ItemKind, ItemTable> = {
        dll: table("dll", format("tabLibraries"), catalog.dlls.map((dll) => ({ fileName: dll.fileName, name: dll.fileName, description: dll.description }))),
        runtime: table("runtime", format("tabRuntimes"),
            catalog.runtimes.map((runtime) => ({ fileName: runtime.fileName, name: runtime.name, description: runtime.displayName }))),
    };
    const counts = { dll: el("p", { class: "view-count", role: "status" }), runtime: el("p", { class: "view-count", role: "status" }) };
    const announcer = el("div", { class: "visually-hidden", "aria-live": "polite" });
    // Recounted at most once a frame.
    let countsDue = false;
    const showCounts = () => {
        if (countsDue)
            return;
        countsDue = true;
        requestAnimationFrame(() => {
            countsDue = false;
            counts.dll.textContent = viewCountText("dll", catalog.dlls.map((dll) => session.item("dll", dll.fileName)));
            counts.runtime.textContent = viewCountText("runtime", catalog.runtimes.map((runtime) => session.item("runtime", runtime.fileName)));
        });
    };
    showCounts();
    return {
        tables,
        counts,
        announcer,
        update(item) {
            tables[item.kind].update(item);
            showCounts();
            if (item.status === "failed")
                announcer.textContent = `${item.fileName}: ${statusText(item)}`;
        },
        setBusy(busy) {
            tables.dll.setBusy(busy);
            tables.runtime.setBusy(busy);
        },
        showSelection() {
            tables.dll.showSelection();
            tables.runtime.showSelection();
        },
    };
}

interface StatusBar {
    element: HTMLElement;
    say(text: string): void;
    itemChanged(item: ItemState): void;
    /** The overall bar and words for the run going on (or where the last stopped). */
    showOverall(items?: ItemState[]): void;
    finished(summary: RunSummary): void;
}

function createStatusBar(controller: PageController): StatusBar {
    const { session } = controller;
    const line = el("span", { class: "status-text", role: "status" }, format("idle"));
    const overall = el("progress", { class: "overall", max: 100, value: 0, "aria-label": format("columnProgress") });
    const showOverall = (items = session.runItems()) => {
        const progress = overallProgress(items);
        overall.value = Math.round(progress.fraction * 100);
        if (session.isCancelling)
            line.textContent = format("cancelling");
        else if (session.running === "scan")
            line.textContent = format("scanning", { done: progress.done, total: progress.total });
        else if (session.running)
            line.textContent = runText(progress, session.workingItem());
    };
    return {
        element: el("footer", { class: "status-bar" }, overall, line),
        say: (text) => (line.textContent = text),
        itemChanged() {
            if (session.running)
                showOverall();
        },
        showOverall,
        finished(summary) {
            showOverall(summary.items); // where the run stopped: full only when all of it was done
            line.textContent = finishedText(summary.operation, summary.cancelled, summary.items);
        },
    };
}

interface ToolBar {
    element: HTMLElement;
    scanButton: HTMLButtonElement;
    /** The item view shown, whose selection "Repair selected" takes (null: another view). */
    showFor(kind: ItemKind | null): void;
    showSelection(): void;
    setRunning(running: boolean, cancelling: boolean): void;
}

function createToolBar(controller: PageController, checkProgram: () => void): ToolBar {
    const { session } = controller;
    let shown: ItemKind | null = "dll";
    const scanButton = el("button", { class: "primary", title: format("scanHint"), onclick: () => controller.scanAll() }, format("scan"));
    const repairButton = el("button", { class: "primary", title: format("repairAllHint"), onclick: () => controller.repairAll() }, format("repairAll"));
    // "Repair selected" takes the selection of the view shown, and only what is not in place.
    const repairSelected = el("button", { disabled: true, onclick: () => {
        if (shown)
            void controller.run("repair", controller.requestFor(controller.selectedToRepair(shown)));
    } }, format("repairSelected"));
    const cancelButton = el("button", { title: format("cancelHint"), disabled: true, onclick: () => session.cancel() }, format("cancel"));
    const checkButton = el("button", { title: format("checkHint"), onclick: checkProgram }, format("checkButton"));
    const element = el("div", { class: "tool-bar" }, scanButton, repairButton, repairSelected, cancelButton, checkButton);
    const showSelection = () => {
        repairSelected.disabled = session.running !== null || !shown || controller.selectedToRepair(shown).length === 0;
    };
    return {
        element,
        scanButton,
        showFor(kind) {
            shown = kind;
            element.hidden = kind === null; // its buttons act on the item views only
            showSelection();
        },
        showSelection,
        setRunning(running, cancelling) {
            scanButton.disabled = repairButton.disabled = running;
            cancelButton.disabled = !running || cancelling;
            showSelection();
        },
    };
}

interface Views {
    tabList: HTMLElement;
    panels: HTMLElement[];
    select(index: number, focus?: boolean): void;
    indexOf(view: HTMLElement): number;
    /** Whether the view shown holds `element`. */
    shows(element: HTMLElement): boolean;
    count: number;
}

/** The tabs and their panels; `shown(panel)` follows each change of view. */
function createViews(views: [string, HTMLElement][], shown: (panel: HTMLElement) => void): Views {
    const tabs = views.map(([label], index) => el("button", { role: "tab", id: `tab-${index}`, "aria-controls": `view-${index}`, onclick: () => select(index) }, label));
    const panels = views.map(([, view], index) => el("div", { role: "tabpanel", id: `view-${index}`, "aria-labelledby": `tab-${index}`, class: "view" }, view));
    let current = 0;
    const select = (index: number, focus = false) => {
        current = index;
        tabs.forEach((tab, i) => {
            tab.setAttribute("aria-selected", String(i === index));
            tab.tabIndex = i === index ? 0 : -1;
            panels[i].hidden = i !== index;
        });
        shown(panels[index]);
        if (focus)
            tabs[index].focus();
    };
    const tabList = el("nav", { role: "tablist", class: "tabs", onkeydown: (event) => {
        const at = tabs.indexOf(document.activeElement as HTMLButtonElement);
        if (at < 0 || (event.key !== "ArrowRight" && event.key !== "ArrowLeft"))
            return;
        select((at + (event.key === "ArrowRight" ? 1 : tabs.length - 1)) % tabs.length, true);
        event.preventDefault();
    } }, ...tabs);
    return {
        tabList,
        panels,
        select,
        indexOf: (view) => views.findIndex(([, element]) => element === view),
        shows: (element) => panels[current].contains(element),
        count: tabs.length,
    };
}

/** A finished repair's notice, with a retry of what did not get done. */
function createBanner(controller: PageController) {
    const text = el("span");
    let retry: ItemState[] = [];
    const retryButton = el("button", { onclick: () => void controller.run("repair", controller.requestFor(retry)) });
    const element = el("div", { class: "banner", role: "alert", hidden: true }, text, retryButton,
        el("button", { class: "link", onclick: () => (element.hidden = true) }, format("bannerClose")));
    return {
        element,
        hide: () => (element.hidden = true),
        show(summary: RunSummary) {
            retry = retryItems(summary.items);
            element.hidden = retry.length === 0;
            text.textContent = finishedText(summary.operation, summary.cancelled, summary.items);
            retryButton.textContent = format("bannerRetry", { count: retry.length });
        },
    };
}

/** Dropped files: a program is checked, anything else described in a panel. The hint shows while a
 *  file is dragged over the window (enter and leave come for every element crossed: counted). */
function createDropPanel(controller: PageController, modules: Modules, programCheck: ProgramCheck, signal: AbortSignal) {
    const list = el("ul");
    const dialog = el("dialog", { class: "drop" }, el("h2", {}, format("dropTitle")), list,
        el("button", { onclick: () => dialog.close() }, format("dropClose")));
    const hint = el("div", { class: "drop-hint", hidden: true }, format("dropHint"));
    let depth = 0;
    document.addEventListener("dragenter", () => {
        depth += 1;
        hint.hidden = false;
    }, { signal });
    document.addEventListener("dragleave", () => {
        depth = Math.max(depth - 1, 0);
        hint.hidden = depth === 0;
    }, { signal });
    document.addEventListener("dragover", (event) => event.preventDefault(), { signal });
    document.addEventListener("drop", (event) => {
        event.preventDefault();
        depth = 0;
        hint.hidden = true;
        clear(list);
        const files = modules.dragdrop.getFiles();
        const program = files.find((path) => /\.exe$/i.test(path));
        if (program) {
            programCheck.open(program);
            return;
        }
        for (const path of files) {
            // Each file's line is filled in when its report is ready (a zip is listed off the thread).
            const line = el("li", {}, path);
            append(list, line);
            void describeDroppedFile(path, controller.catalog, (fileName) => statusText(controller.session.item("dll", fileName)), modules.zip).then((report) => {
                clear(line);
                append(line, report.line, report.details.length ? el("ul", {}, ...report.details.map((detail) => el("li", {}, detail))) : null);
            });
        }
        if (!dialog.open)
            dialog.showModal();
    }, { signal });
    return { hint, dialog };
}

interface KeyTargets {
    previewDialog: PreviewDialog;
    logsView: LogsView;
    historyView: HistoryView;
    programCheck: ProgramCheck;
    prefixBar: { open(): void };
    views: Views;
}

function listenToKeys(controller: PageController, targets: KeyTargets, signal: AbortSignal): void {
    const { previewDialog, logsView, historyView, programCheck, prefixBar, views } = targets;
    document.addEventListener("keydown", (event) => {
        if (previewDialog.element.open || logsView.dialog.open || historyView.dialog.open)
            return; // answered by their own buttons
        const ctrl = (key: string) => event.ctrlKey && event.key.toLowerCase() === key;
        if (event.key === "F5")
            controller.scanAll();
        else if (event.key === "Escape" && controller.session.running)
            controller.session.cancel();
        else if (ctrl("r"))
            controller.repairAll();
        else if (ctrl("k"))
            programCheck.open();
        else if (ctrl("p"))
            prefixBar.open();
        else if (ctrl("l"))
            logsView.open();
        else if (event.ctrlKey && event.key >= "1" && event.key <= String(views.count))
            views.select(Number(event.key) - 1, true);
        else
            return;
        event.preventDefault();
    }, { signal });
}

/** The first start says what the usage reports carry, once (an unattended run asks nobody). */
function createPrivacyNotice(sys: Tvn.SysModule, autorun: boolean) {
    const dismiss = () => {
        element.hidden = true;
        sys.setConfig({ section: "page", key: "privacyNotice", value: "shown" });
    };
    const keepButton = el("button", { onclick: dismiss }, format("privacyKeep"));
    const element = el("div", { class: "banner notice", role: "region", "aria-label": format("privacyTitle"), hidden: true },
        el("span", {}, el("strong", {}, format("privacyTitle")), " ", format("privacyWhat")),
        keepButton,
        el("button", { onclick: () => {
            sys.usageReports = false;
            dismiss();
        } }, format("privacyTurnOff")));
    element.hidden = autorun || sys.getConfig({ section: "page", key: "privacyNotice" }) === "shown";
    return { element, keepButton };
}
