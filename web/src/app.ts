// The page: title bar, tool bar, the six views, the status bar, and what ties them to the modules.
// The repair session and the settings outlive a rendering: a change of language renders the page
// anew around them, the items' states and a run going on included.

import { createAboutView } from "./about";
import { toDllItem, toSoftwareItem, type Catalog } from "./catalog";
import { append, clear, el } from "./dom";
import { createDownloadsPanel } from "./downloads";
import { createHistoryView } from "./history";
import { describeDroppedFile } from "./drop";
import { createItemTable, type ItemTable } from "./itemTable";
import { createLogsView } from "./logsView";
import { finishedText, needsRepair, overallProgress, retryItems, runText, statusText, viewCountText, type ItemState } from "./items";
import { createPrefixBar } from "./prefixBar";
import { programToCheck } from "./programCheck";
import { createProgramCheck } from "./programCheckView";
import { placeDll, prefixSummary, type Placement } from "./prefixes";
import { createPreviewDialog, repairPreview, withSizes } from "./preview";
import { readRows, reportLine } from "./report";
import { RepairSession, type RunRequest, type RunSummary, type SessionEvents } from "./session";
import { readSettings, writeSetting, type Settings } from "./settings";
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

/** What outlives a rendering of the page. */
interface Lasting {
    session: RepairSession;
    settings: Settings;
    /** Program checks the unattended run has seen. */
    checksShown: number;
}

/** The language the settings name, or the desktop's. */
function pageLanguage(settings: Settings, sys: Tvn.SysModule) {
    return settings.language === "desktop" ? desktopLanguage(sys.languages) : settings.language;
}

export function startApp(root: HTMLElement, catalog: Catalog, modules: Modules): void {
    let view: SessionEvents | null = null;
    const lasting: Lasting = {
        session: new RepairSession(modules.engine, {
            item: (item) => view?.item(item),
            running: (operation) => view?.running(operation),
            finished: (summary) => view?.finished(summary),
        }),
        settings: readSettings(modules.sys),
        checksShown: 0,
    };
    let listeners = new AbortController();
    const render = (first: boolean) => {
        listeners.abort(); // the last rendering's document listeners
        listeners = new AbortController();
        setLanguage(pageLanguage(lasting.settings, modules.sys));
        document.documentElement.lang = intlLocale();
        clear(root);
        renderPage(root, catalog, modules, lasting, { first, signal: listeners.signal, attach: (events) => (view = events), rerender: () => render(false) });
    };
    render(true);
}

interface Rendering {
    /** The page's first rendering: the one that starts what a start asks for. */
    first: boolean;
    /** Ends the rendering's document listeners. */
    signal: AbortSignal;
    /** From now on the session's events go to `events`. */
    attach(events: SessionEvents): void;
    rerender(): void;
}

function renderPage(root: HTMLElement, catalog: Catalog, modules: Modules, lasting: Lasting, rendering: Rendering): void {
    const { sys, window: win } = modules;
    const { session } = lasting;
    const { signal } = rendering;
    const autorun = sys.argv.includes("--autorun");
    // The frame the window draws around the page (while resizable) takes the page's background.
    const applyTheme = () => {
        document.documentElement.dataset.theme = lasting.settings.theme;
        modules.window.setBackground(getComputedStyle(document.body).backgroundColor);
    };
    applyTheme();
    matchMedia("(prefers-color-scheme: dark)").addEventListener("change", applyTheme, { signal });

    // ---- the window ----
    win.resizable = true;
    let maximized = false;
    const titleBar = createTitleBar({
        // Hidden to the tray only when a tray is there to bring the window back.
        minimize: () => (lasting.settings.minimizeToTray && modules.trayicon.hosted ? win.hide() : win.minimize()),
        toggleMaximize: () => (maximized ? win.restore() : win.maximize()),
        close: () => closeWindow(),
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
    // What a repair will change, said before it starts.
    const target = () => {
        const prefix = prefixBar.current();
        return prefix ? format("confirmRepairIn", { prefix: prefixSummary(prefix), path: prefix.path })
            : format("confirmRepairOwn", { path: sys.getAppDataPath().replace(/[\\/]+$/, "") + "/drive_c" });
    };
    // Closing during a run asks first; Enter keeps it running.
    const closeWindow = () => {
        if (session.running && !autorun && sys.msgBox({ title: format("confirmTitle"), main: format("confirmClose"), text: format("confirmCloseText"),
            icon: "warning", buttons: [{ name: "keep", text: format("confirmCloseKeep") }, { name: "close", text: format("confirmCloseStop") }] }) !== "close")
            return;
        session.cancel();
        win.close();
    };

    // ---- the items and the engine ----
    const libraries = createItemTable(format("tabLibraries"),
        catalog.dlls.map((dll) => ({ fileName: dll.fileName, name: dll.fileName, description: dll.description })),
        "repairOne", (fileName) => void run("repair", pick(catalog.dlls.filter((dll) => dll.fileName === fileName), [])), () => showSelection());
    const runtimes = createItemTable(format("tabRuntimes"),
        catalog.runtimes.map((runtime) => ({ fileName: runtime.fileName, name: runtime.name, description: runtime.displayName })),
        "repairOne", (fileName) => void run("repair", pick([], catalog.runtimes.filter((runtime) => runtime.fileName === fileName))), () => showSelection());
    const tables: Record<ItemState["kind"], ItemTable> = { dll: libraries, runtime: runtimes };

    const statusLine = el("span", { class: "status-text", role: "status" }, format("idle"));
    const overall = el("progress", { class: "overall", max: 100, value: 0, "aria-label": format("columnProgress") });
    const showOverall = (items = session.runItems()) => {
        const progress = overallProgress(items);
        overall.value = Math.round(progress.fraction * 100);
        if (session.isCancelling)
            statusLine.textContent = format("cancelling");
        else if (session.running === "scan")
            statusLine.textContent = format("scanning", { done: progress.done, total: progress.total });
        else if (session.running)
            statusLine.textContent = runText(progress, session.workingItem());
    };

    // Each view's count ("3 of 8 libraries missing"), recounted at most once a frame.
    const counts = { dll: el("p", { class: "view-count", role: "status" }), runtime: el("p", { class: "view-count", role: "status" }) };
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

    // A row that fails says so to a screen reader as it happens.
    const announcer = el("div", { class: "visually-hidden", "aria-live": "polite" });
    const events: SessionEvents = {
        item(item) {
            tables[item.kind].update(item);
            showCounts();
            if (item.status === "failed")
                announcer.textContent = `${item.fileName}: ${statusText(item)}`;
            if (session.running)
                showOverall();
        },
        running(operation) {
            prefixBar.setBusy(operation !== null);
            scanButton.disabled = repairButton.disabled = operation !== null;
            cancelButton.disabled = operation === null || session.isCancelling;
            libraries.setBusy(operation !== null);
            runtimes.setBusy(operation !== null);
            if (operation)
                banner.hidden = true;
            showSelection();
            showOverall();
        },
        finished: (summary) => finished(summary),
    };
    rendering.attach(events);
    for (const dll of catalog.dlls)
        libraries.update(session.item("dll", dll.fileName));
    for (const runtime of catalog.runtimes)
        runtimes.update(session.item("runtime", runtime.fileName));

    // ---- the prefix being repaired: where each DLL goes follows its architecture ----
    const prefixAbout = el("dd", { class: "about-prefix" });
    let placements = new Map<string, Placement>();
    // `changed`: the prefix is another than the rows describe (not a new rendering of the same).
    const applyPrefix = (prefix: Tvn.WinePrefix | null, changed: boolean) => {
        const placed = catalog.dlls.map((dll) => ({ dll, placement: placeDll(dll, prefix?.arch ?? "") }));
        placements = new Map(placed.map(({ dll, placement }) => [dll.fileName.toLowerCase(), placement]));
        prefixAbout.textContent = prefix ? `${prefixSummary(prefix)}: ${prefix.path}` : format("prefixNone");
        prefixAbout.title = prefix?.path ?? "";
        if (!changed)
            return;
        session.reset(placed.filter(({ placement }) => "unavailable" in placement).map(({ dll }) => dll.fileName));
        // For the log and unattended runs: which machine the rows describe.
        console.info(prefix ? `tvn: prefix: ${prefixSummary(prefix)} at ${prefix.path}` : `tvn: prefix: none, tvn's own folder`);
    };
    const prefixBar = createPrefixBar(modules.wine, sys, (prefix) => {
        applyPrefix(prefix, true);
        statusLine.textContent = prefix ? format("prefixChanged", { prefix: prefixSummary(prefix) }) : format("prefixChangedOwn");
        scanAll(); // the rows described the other prefix
    });
    applyPrefix(prefixBar.current(), rendering.first);
    showCounts();

    function pick(dlls: Catalog["dlls"], softwares: Catalog["runtimes"]): RunRequest {
        const placed = dlls.flatMap((dll) => {
            const placement = placements.get(dll.fileName.toLowerCase());
            return placement && "dll" in placement ? [placement.dll] : [];
        });
        return { dlls: placed.map(toDllItem), softwares: softwares.map(toSoftwareItem) };
    }
    function repairRequest(): RunRequest {
        return pick(catalog.dlls.filter((dll) => needsRepair(session.item("dll", dll.fileName))),
            catalog.runtimes.filter((runtime) => needsRepair(session.item("runtime", runtime.fileName))));
    }
    /** Whether the run started. A repair starts only once its preview is confirmed, unless the
     *  unattended run starts it itself (`ask` false). */
    async function run(operation: "scan" | "repair", request: RunRequest, ask = true): Promise<boolean> {
        if (session.running)
            return false;
        if (operation === "scan")
            return session.scan(request);
        const preview = repairPreview(request, target());
        if (!preview) {
            statusLine.textContent = format("nothingToRepair");
            return false;
        }
        if (ask) {
            const confirmed = previewDialog.ask(preview);
            const files = [...request.dlls.map((dll) => ({ fileName: dll.fileName, fileType: dll.fileType ?? "" })),
                ...request.softwares.map((software) => ({ fileName: software.fileName }))];
            modules.engine.downloadSizes(files).then((answer) => previewDialog.update(withSizes(preview, answer.sizes)));
            if (!(await confirmed))
                return false;
        }
        return session.repair(request);
    }
    const scanAll = () => void run("scan", pick(catalog.dlls, catalog.runtimes));
    const repairAll = () => void run("repair", repairRequest());
    /** The request that repairs these items again. */
    const requestFor = (items: readonly ItemState[]) => {
        const names = new Set(items.map((item) => `${item.kind}:${item.fileName.toLowerCase()}`));
        return pick(catalog.dlls.filter((dll) => names.has(`dll:${dll.fileName.toLowerCase()}`)),
            catalog.runtimes.filter((runtime) => names.has(`runtime:${runtime.fileName.toLowerCase()}`)));
    };

    // ---- what a program needs: checked in its dialog, repaired through the same session ----
    const checkPath = programToCheck(sys.argv);
    const programCheck = createProgramCheck(modules.wine, sys, catalog, {
        repair: (plan) => run("repair", pick(plan.dlls, plan.runtimes)),
        analyzed(needs, plan) {
            if (!autorun || !checkPath)
                return;
            // Unattended: repair what the first look finds, then look again and say what is left.
            lasting.checksShown += 1;
            const report = () => console.info(`tvn: check finished: ${needs.dlls.filter((dll) => dll.status === "missing").length} missing`);
            if (lasting.checksShown === 1 && plan.dlls.length + plan.runtimes.length > 0)
                void run("repair", pick(plan.dlls, plan.runtimes), false).then((started) => started || report());
            else
                report();
        },
    });

    function finished(summary: RunSummary): void {
        showOverall(summary.items); // where the run stopped: full only when all of it was done
        statusLine.textContent = finishedText(summary.operation, summary.cancelled, summary.items);
        if (summary.operation === "repair") {
            showBanner(summary);
            libraries.clearSelection();
            runtimes.clearSelection();
            if (panels[shown].contains(historyView.element))
                historyView.refresh(); // the run just made is in it
        }
        if (autorun && checkPath && summary.operation === "repair")
            reportRun(summary);
        if (summary.operation === "repair" && (checkPath || programCheck.dialog.open))
            programCheck.refresh();
        if (autorun && !checkPath)
            autorunStep(summary);
    }

    // ---- the tool bar and the views ----
    const scanButton = el("button", { class: "primary", title: format("scanHint"), onclick: scanAll }, format("scan"));
    const repairButton = el("button", { class: "primary", title: format("repairAllHint"), onclick: repairAll }, format("repairAll"));
    // "Repair selected" takes the selection of the view shown, and only what is not in place.
    const repairSelected = el("button", { disabled: true, onclick: () => {
        const table = shownTable();
        const kind = table === libraries ? "dll" : "runtime";
        if (table)
            void run("repair", requestFor(table.selectedToRepair().map((fileName) => session.item(kind, fileName))));
    } }, format("repairSelected"));
    function showSelection(): void {
        const table = shownTable();
        repairSelected.disabled = session.running !== null || !table || table.selectedToRepair().length === 0;
    }
    const cancelButton = el("button", { title: format("cancelHint"), disabled: true, onclick: () => session.cancel() }, format("cancel"));
    const checkButton = el("button", { title: format("checkHint"), onclick: () => programCheck.open() }, format("checkButton"));
    const toolBar = el("div", { class: "tool-bar" }, scanButton, repairButton, repairSelected, cancelButton, checkButton);

    const settingsView = createSettingsView(lasting.settings, (key, value) => {
        lasting.settings = writeSetting(sys, lasting.settings, key, value);
        applyTheme();
        if (key === "language" && pageLanguage(lasting.settings, sys) !== language())
            rendering.rerender(); // every text anew, in the other language
    }, () => modules.trayicon.hosted, sys);
    const historyView = createHistoryView(modules.wine, () => session.running !== null);
    const views: [string, HTMLElement][] = [
        [format("tabLibraries"), el("div", {}, counts.dll, libraries.element)],
        [format("tabRuntimes"), el("div", {}, counts.runtime, runtimes.element)],
        [format("tabDownloads"), createDownloadsPanel(modules.engine, sys, catalog.downloads)],
        [format("tabHistory"), historyView.element],
        [format("tabSettings"), settingsView.element],
        [format("tabAbout"), createAboutView(sys, catalog.home, prefixAbout, () => logsView.open())],
    ];
    const tabs = views.map(([label], index) => el("button", { role: "tab", id: `tab-${index}`, "aria-controls": `view-${index}`, onclick: () => select(index) }, label));
    const panels = views.map(([, view], index) => el("div", { role: "tabpanel", id: `view-${index}`, "aria-labelledby": `tab-${index}`, class: "view" }, view));
    let shown = 0;
    const shownTable = (): ItemTable | null => (shown === 0 ? libraries : shown === 1 ? runtimes : null);
    const select = (index: number, focus = false) => {
        shown = index;
        tabs.forEach((tab, i) => {
            tab.setAttribute("aria-selected", String(i === index));
            tab.tabIndex = i === index ? 0 : -1;
            panels[i].hidden = i !== index;
        });
        toolBar.hidden = shownTable() === null; // its buttons act on the item views only
        if (panels[index].contains(settingsView.element))
            settingsView.refresh();
        if (panels[index].contains(historyView.element))
            historyView.refresh();
        showSelection();
        if (focus)
            tabs[index].focus();
    };
    const tabList = el("nav", { role: "tablist", class: "tabs", onkeydown: (event: KeyboardEvent) => {
        const current = tabs.indexOf(document.activeElement as HTMLButtonElement);
        if (current < 0 || (event.key !== "ArrowRight" && event.key !== "ArrowLeft"))
            return;
        select((current + (event.key === "ArrowRight" ? 1 : tabs.length - 1)) % tabs.length, true);
        event.preventDefault();
    } }, ...tabs);

    // ---- a finished repair's notice, with a retry of what did not get done ----
    const bannerText = el("span");
    let retry: ItemState[] = [];
    const retryButton = el("button", { onclick: () => void run("repair", requestFor(retry)) });
    const banner = el("div", { class: "banner", role: "alert", hidden: true }, bannerText, retryButton,
        el("button", { class: "link", onclick: () => (banner.hidden = true) }, format("bannerClose")));
    function showBanner(summary: RunSummary): void {
        retry = retryItems(summary.items);
        banner.hidden = retry.length === 0;
        bannerText.textContent = finishedText(summary.operation, summary.cancelled, summary.items);
        retryButton.textContent = format("bannerRetry", { count: retry.length });
    }
    const previewDialog = createPreviewDialog();
    const logsView = createLogsView(sys);

    // ---- dropped files ----
    const dropList = el("ul");
    const dropPanel = el("dialog", { class: "drop" }, el("h2", {}, format("dropTitle")), dropList,
        el("button", { onclick: () => dropPanel.close() }, format("dropClose")));
    // The hint shows while a file is dragged over the window (enter and leave come for every element
    // crossed, so they are counted).
    const dropHint = el("div", { class: "drop-hint", hidden: true }, format("dropHint"));
    let dragDepth = 0;
    document.addEventListener("dragenter", () => {
        dragDepth += 1;
        dropHint.hidden = false;
    }, { signal });
    document.addEventListener("dragleave", () => {
        dragDepth = Math.max(dragDepth - 1, 0);
        dropHint.hidden = dragDepth === 0;
    }, { signal });
    document.addEventListener("dragover", (event) => event.preventDefault(), { signal });
    document.addEventListener("drop", (event) => {
        event.preventDefault();
        dragDepth = 0;
        dropHint.hidden = true;
        clear(dropList);
        const files = modules.dragdrop.getFiles();
        const program = files.find((path) => /\.exe$/i.test(path));
        if (program) {
            programCheck.open(program);
            return;
        }
        for (const path of files) {
            // Each file's line is filled in when its report is ready (a zip is listed off the thread).
            const line = el("li", {}, path);
            append(dropList, line);
            void describeDroppedFile(path, catalog, (fileName) => statusText(session.item("dll", fileName)), modules.zip).then((report) => {
                clear(line);
                append(line, report.line, report.details.length ? el("ul", {}, ...report.details.map((detail) => el("li", {}, detail))) : null);
            });
        }
        if (!dropPanel.open)
            dropPanel.showModal();
    }, { signal });

    // ---- the keyboard ----
    document.addEventListener("keydown", (event) => {
        if (previewDialog.element.open || logsView.dialog.open || historyView.dialog.open)
            return; // answered by their own buttons
        if (event.key === "F5") {
            scanAll();
        } else if (event.key === "Escape" && session.running) {
            session.cancel();
        } else if (event.ctrlKey && event.key.toLowerCase() === "r") {
            repairAll();
        } else if (event.ctrlKey && event.key.toLowerCase() === "k") {
            programCheck.open();
        } else if (event.ctrlKey && event.key.toLowerCase() === "p") {
            prefixBar.open();
        } else if (event.ctrlKey && event.key.toLowerCase() === "l") {
            logsView.open();
        } else if (event.ctrlKey && event.key >= "1" && event.key <= String(tabs.length)) {
            select(Number(event.key) - 1, true);
        } else {
            return;
        }
        event.preventDefault();
    }, { signal });

    // The first start says what the usage reports carry, once (an unattended run asks nobody).
    const privacyKeep = el("button", { onclick: () => dismissPrivacy() }, format("privacyKeep"));
    const privacyNotice = el("div", { class: "banner notice", role: "region", "aria-label": format("privacyTitle"), hidden: true },
        el("span", {}, el("strong", {}, format("privacyTitle")), " ", format("privacyWhat")),
        privacyKeep,
        el("button", { onclick: () => {
            sys.usageReports = false;
            dismissPrivacy();
        } }, format("privacyTurnOff")));
    const dismissPrivacy = () => {
        privacyNotice.hidden = true;
        sys.setConfig({ section: "page", key: "privacyNotice", value: "shown" });
    };
    privacyNotice.hidden = autorun || sys.getConfig({ section: "page", key: "privacyNotice" }) === "shown";

    // The title bar comes last in the document (first on screen): Tab starts at the content, not at
    // the window's buttons.
    append(root, prefixBar.element, privacyNotice, toolBar, tabList, banner, ...panels,
        el("footer", { class: "status-bar" }, overall, statusLine), titleBar.element, announcer,
        dropHint, dropPanel, prefixBar.dialog, programCheck.dialog, previewDialog.element, logsView.dialog, historyView.dialog);
    select(rendering.first ? 0 : views.findIndex(([, view]) => view === settingsView.element)); // a new rendering comes from the Settings view
    if (rendering.first)
        (privacyNotice.hidden ? scanButton : privacyKeep).focus();

    // ---- unattended runs: scan, repair what is missing, report each row ----
    function autorunStep(summary: RunSummary): void {
        const rows = readRows(root);
        for (const row of rows)
            console.info(reportLine(summary.operation, row));
        const request = repairRequest();
        if (summary.operation === "scan" && !summary.cancelled && request.dlls.length + request.softwares.length > 0) {
            void run("repair", request, false);
            return;
        }
        const inPlace = rows.filter((row) => row.status === "present" || row.status === "repaired").length;
        console.info(`tvn: finished: ${inPlace} of ${rows.length} in place${summary.cancelled ? ", cancelled" : ""}`);
    }
    // The rows of the run's own items (a program's repair touches only what it needs).
    function reportRun(summary: RunSummary): void {
        const ran = new Set(summary.items.map((item) => item.fileName));
        for (const row of readRows(root).filter((row) => ran.has(row.fileName)))
            console.info(reportLine(summary.operation, row));
    }
    if (!rendering.first) {
        events.running(session.running); // a run going on goes on in the new rendering
        return;
    }
    if (autorun)
        console.info(`tvn: ready: ${catalog.dlls.length} libraries, ${catalog.runtimes.length} runtimes`);
    if (checkPath)
        programCheck.open(checkPath);
    else if (autorun || lasting.settings.scanAtStart)
        scanAll();
}
