// The page: title bar, tool bar, the five views, the status bar, and what ties them to the modules.

import { createAboutView } from "./about";
import { toDllItem, toSoftwareItem, type Catalog } from "./catalog";
import { append, clear, el } from "./dom";
import { createDownloadsPanel } from "./downloads";
import { describeDroppedFile } from "./drop";
import { createItemTable, type ItemTable } from "./itemTable";
import { finishedText, needsRepair, overallProgress, statusText, type ItemState } from "./items";
import { createPrefixBar } from "./prefixBar";
import { programToCheck } from "./programCheck";
import { createProgramCheck } from "./programCheckView";
import { placeDll, prefixSummary, type Placement } from "./prefixes";
import { readRows, reportLine } from "./report";
import { RepairSession, type RunRequest, type RunSummary } from "./session";
import { readSettings, writeSetting, type Settings } from "./settings";
import { createSettingsView } from "./settingsView";
import { createTitleBar } from "./titleBar";
import { format } from "./texts";

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

export function startApp(root: HTMLElement, catalog: Catalog, modules: Modules): void {
    const { sys, window: win, engine } = modules;
    const autorun = sys.argv.includes("--autorun");
    let settings: Settings = readSettings(sys);
    const applyTheme = () => {
        document.documentElement.dataset.theme = settings.theme;
    };
    applyTheme();

    // ---- the window ----
    win.resizable = true;
    let maximized = false;
    const titleBar = createTitleBar({
        minimize: () => (settings.minimizeToTray ? win.hide() : win.minimize()),
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
    const confirm = (main: string, text = "") =>
        autorun || sys.msgBox({ title: format("confirmTitle"), main, text, type: "yes,no", icon: "warning" }) === "yes";
    // What a repair will change, said before it starts.
    const target = () => {
        const prefix = prefixBar.current();
        return prefix ? format("confirmRepairIn", { prefix: prefixSummary(prefix), path: prefix.path })
            : format("confirmRepairOwn", { path: sys.getAppDataPath().replace(/[\\/]+$/, "") + "/drive_c" });
    };
    const closeWindow = () => {
        if (session.running && !confirm(format("confirmClose")))
            return;
        session.cancel();
        win.close();
    };

    // ---- the items and the engine ----
    const libraries = createItemTable(format("tabLibraries"),
        catalog.dlls.map((dll) => ({ fileName: dll.fileName, name: dll.fileName, description: dll.description })),
        "repairOne", (fileName) => run("repair", pick(catalog.dlls.filter((dll) => dll.fileName === fileName), [])));
    const runtimes = createItemTable(format("tabRuntimes"),
        catalog.runtimes.map((runtime) => ({ fileName: runtime.fileName, name: runtime.name, description: runtime.displayName })),
        "install", (fileName) => run("repair", pick([], catalog.runtimes.filter((runtime) => runtime.fileName === fileName))));
    const tables: Record<ItemState["kind"], ItemTable> = { dll: libraries, runtime: runtimes };

    const statusLine = el("span", { class: "status-text", role: "status" }, format("idle"));
    const overall = el("progress", { class: "overall", max: 100, value: 0, "aria-label": format("columnProgress") });
    const showOverall = () => {
        const progress = overallProgress(session.runItems());
        overall.value = Math.round(progress.fraction * 100);
        if (session.isCancelling)
            statusLine.textContent = format("cancelling");
        else if (session.running)
            statusLine.textContent = format(session.running === "scan" ? "scanning" : "repairing", { done: progress.done, total: progress.total });
    };

    const session: RepairSession = new RepairSession(engine, {
        item(item) {
            tables[item.kind].update(item);
            if (session.running)
                showOverall();
        },
        running(operation) {
            prefixBar.setBusy(operation !== null);
            scanButton.disabled = repairButton.disabled = repairSelected.disabled = operation !== null;
            cancelButton.disabled = operation === null || session.isCancelling;
            libraries.setBusy(operation !== null);
            runtimes.setBusy(operation !== null);
            showOverall();
        },
        finished: (summary) => finished(summary),
    });
    for (const dll of catalog.dlls)
        libraries.update(session.item("dll", dll.fileName));
    for (const runtime of catalog.runtimes)
        runtimes.update(session.item("runtime", runtime.fileName));

    // ---- the prefix being repaired: where each DLL goes follows its architecture ----
    const prefixAbout = el("dd", { class: "about-prefix" });
    let placements = new Map<string, Placement>();
    const applyPrefix = (prefix: Tvn.WinePrefix | null) => {
        const placed = catalog.dlls.map((dll) => ({ dll, placement: placeDll(dll, prefix?.arch ?? "") }));
        placements = new Map(placed.map(({ dll, placement }) => [dll.fileName.toLowerCase(), placement]));
        session.reset(placed.filter(({ placement }) => "unavailable" in placement).map(({ dll }) => dll.fileName));
        prefixAbout.textContent = prefix ? `${prefixSummary(prefix)}: ${prefix.path}` : format("prefixNone");
        prefixAbout.title = prefix?.path ?? "";
        // For the log and unattended runs: which machine the rows describe.
        console.info(prefix ? `tvn: prefix: ${prefixSummary(prefix)} at ${prefix.path}` : `tvn: prefix: none, tvn's own folder`);
    };
    const prefixBar = createPrefixBar(modules.wine, sys, (prefix) => {
        applyPrefix(prefix);
        statusLine.textContent = prefix ? format("prefixChanged", { prefix: prefixSummary(prefix) }) : format("prefixChangedOwn");
        scanAll(); // the rows described the other prefix
    });
    applyPrefix(prefixBar.current());

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
    /** Whether the run started. */
    function run(operation: "scan" | "repair", request: RunRequest): boolean {
        if (session.running)
            return false;
        if (operation === "scan")
            return session.scan(request);
        const count = request.dlls.length + request.softwares.length;
        if (count === 0) {
            statusLine.textContent = format("nothingToRepair");
            return false;
        }
        if (count > 1 && !confirm(format("confirmRepair", { count }), `${target()}\n${format("confirmRepairText")}`))
            return false;
        return session.repair(request);
    }
    const scanAll = () => run("scan", pick(catalog.dlls, catalog.runtimes));
    const repairAll = () => run("repair", repairRequest());

    // ---- what a program needs: checked in its dialog, repaired through the same session ----
    const checkPath = programToCheck(sys.argv);
    let checksShown = 0;
    const programCheck = createProgramCheck(modules.wine, sys, catalog, {
        repair: (plan) => run("repair", pick(plan.dlls, plan.runtimes)),
        analyzed(needs, plan) {
            if (!autorun || !checkPath)
                return;
            // Unattended: repair what the first look finds, then look again and say what is left.
            checksShown += 1;
            if (checksShown === 1 && plan.dlls.length + plan.runtimes.length > 0 && run("repair", pick(plan.dlls, plan.runtimes)))
                return;
            console.info(`tvn: check finished: ${needs.dlls.filter((dll) => dll.status === "missing").length} missing`);
        },
    });

    function finished(summary: RunSummary): void {
        overall.value = 100;
        statusLine.textContent = finishedText(summary.operation, summary.cancelled, summary.items);
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
    const repairSelected = el("button", { onclick: () => {
        const chosen = (table: ItemTable) => new Set(table.selected().map((name) => name.toLowerCase()));
        const dlls = chosen(libraries);
        const softwares = chosen(runtimes);
        run("repair", pick(catalog.dlls.filter((dll) => dlls.has(dll.fileName.toLowerCase())),
            catalog.runtimes.filter((runtime) => softwares.has(runtime.fileName.toLowerCase()))));
    } }, format("repairSelected"));
    const cancelButton = el("button", { title: format("cancelHint"), disabled: true, onclick: () => session.cancel() }, format("cancel"));
    const checkButton = el("button", { title: format("checkHint"), onclick: () => programCheck.open() }, format("checkButton"));

    const views: [string, HTMLElement][] = [
        [format("tabLibraries"), libraries.element],
        [format("tabRuntimes"), runtimes.element],
        [format("tabDownloads"), createDownloadsPanel(engine, catalog.downloads)],
        [format("tabSettings"), createSettingsView(settings, (key, value) => {
            settings = writeSetting(sys, settings, key, value);
            applyTheme();
        })],
        [format("tabAbout"), createAboutView(sys, catalog.home, prefixAbout)],
    ];
    const tabs = views.map(([label], index) => el("button", { role: "tab", id: `tab-${index}`, "aria-controls": `view-${index}`, onclick: () => select(index) }, label));
    const panels = views.map(([, view], index) => el("div", { role: "tabpanel", id: `view-${index}`, "aria-labelledby": `tab-${index}`, class: "view" }, view));
    const select = (index: number, focus = false) => {
        tabs.forEach((tab, i) => {
            tab.setAttribute("aria-selected", String(i === index));
            tab.tabIndex = i === index ? 0 : -1;
            panels[i].hidden = i !== index;
        });
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
    select(0);

    // ---- dropped files ----
    const dropList = el("ul");
    const dropPanel = el("dialog", { class: "drop" }, el("h2", {}, format("dropTitle")), dropList,
        el("button", { onclick: () => dropPanel.close() }, format("dropClose")));
    document.addEventListener("dragover", (event) => event.preventDefault());
    document.addEventListener("drop", (event) => {
        event.preventDefault();
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
    });

    // ---- the keyboard ----
    document.addEventListener("keydown", (event) => {
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
        } else if (event.ctrlKey && event.key >= "1" && event.key <= String(tabs.length)) {
            select(Number(event.key) - 1, true);
        } else {
            return;
        }
        event.preventDefault();
    });

    append(root, titleBar.element, prefixBar.element,
        el("div", { class: "tool-bar" }, scanButton, repairButton, repairSelected, cancelButton, checkButton, el("span", { class: "hint" }, format("dropHint"))),
        tabList, ...panels,
        el("footer", { class: "status-bar" }, overall, statusLine),
        dropPanel, prefixBar.dialog, programCheck.dialog);
    scanButton.focus();

    // ---- unattended runs: scan, repair what is missing, report each row ----
    function autorunStep(summary: RunSummary): void {
        const rows = readRows(root);
        for (const row of rows)
            console.info(reportLine(summary.operation, row));
        const request = repairRequest();
        if (summary.operation === "scan" && !summary.cancelled && request.dlls.length + request.softwares.length > 0) {
            run("repair", request);
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
    if (autorun)
        console.info(`tvn: ready: ${catalog.dlls.length} libraries, ${catalog.runtimes.length} runtimes`);
    if (checkPath)
        programCheck.open(checkPath);
    else if (autorun || settings.scanAtStart)
        scanAll();
}
