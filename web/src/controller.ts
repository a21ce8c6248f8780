// The page's controller: the run state (the repair session), the selection of each item view,
// where each DLL goes in the prefix in use, the requests runs are made of, and what an unattended
// run does and prints. It outlives a rendering of the page (a change of language renders the views
// anew around it) and touches no element: views render from it and call it.

import { toDllItem, toSoftwareItem, type Catalog, type CatalogDll, type CatalogRuntime } from "./catalog";
import { needsRepair, type ItemKind, type ItemState } from "./items";
import { placeDll, prefixSummary, type Placement } from "./prefixes";
import { repairPreview, type Preview } from "./preview";
import type { RepairPlan } from "./programCheck";
import { rowReport, reportLine, type RowReport } from "./report";
import { RepairSession, type Operation, type RunRequest, type RunSummary, type SessionEvents } from "./session";
import { readSettings, writeSetting, type ConfigStore, type Settings } from "./settings";
import { format } from "./texts";

/** What the controller asks of the page around it. */
export interface ControllerPorts {
    /** Shows a repair's preview and resolves once the user has answered: true to go on. */
    confirm(preview: Preview, request: RunRequest): Promise<boolean>;
    /** Where a repair will write, in words (the preview's first line). */
    target(): string;
    /** Says something on the status line. */
    status(text: string): void;
    /** One line of the log (an unattended run's report). */
    log(line: string): void;
}

// Until a rendering attaches: no question is answered, nothing is said.
const detached: ControllerPorts = { confirm: async () => false, target: () => "", status: () => {}, log: () => {} };

export interface StartOptions {
    /** Unattended (--autorun): scans, repairs and reports on its own. */
    autorun: boolean;
    /** The program named on the command line, whose needs are repaired ("" for none). */
    checkPath: string;
}

export class PageController {
    readonly session: RepairSession;
    settings: Settings;
    private view: SessionEvents | null = null;
    private ports = detached;
    private readonly selected: Record<ItemKind, Set<string>> = { dll: new Set(), runtime: new Set() };
    private placements = new Map<string, Placement>();
    /** Program checks the unattended run has seen. */
    private checksSeen = 0;

    constructor(readonly catalog: Catalog, engine: Tvn.BizRepairModule, private readonly sys: ConfigStore, readonly start: StartOptions) {
        this.session = new RepairSession(engine, {
            item: (item) => this.view?.item(item),
            running: (operation) => this.view?.running(operation),
            finished: (summary) => this.finished(summary),
        });
        this.settings = readSettings(sys);
    }

    /** The rendering now shown: the session's events and the controller's questions go to it. */
    attach(view: SessionEvents, ports: ControllerPorts): void {
        this.view = view;
        this.ports = ports;
    }

    setSetting<K extends keyof Settings>(key: K, value: Settings[K]): void {
        this.settings = writeSetting(this.sys, this.settings, key, value);
    }

    // ---- the prefix in use ----

    /** Where each DLL goes follows the prefix's architecture. `changed`: another prefix than the
     *  rows describe, whose items start unknown again. */
    usePrefix(prefix: Tvn.WinePrefix | null, changed: boolean): void {
        const placed = this.catalog.dlls.map((dll) => ({ dll, placement: placeDll(dll, prefix?.arch ?? "") }));
        this.placements = new Map(placed.map(({ dll, placement }) => [dll.fileName.toLowerCase(), placement]));
        if (!changed)
            return;
        this.session.reset(placed.filter(({ placement }) => "unavailable" in placement).map(({ dll }) => dll.fileName));
        // For the log and unattended runs: which machine the rows describe.
        this.ports.log(prefix ? `tvn: prefix: ${prefixSummary(prefix)} at ${prefix.path}` : `tvn: prefix: none, tvn's own folder`);
    }

    // ---- the selection of each item view ----

    isSelected(kind: ItemKind, fileName: string): boolean {
        return this.selected[kind].has(fileName.toLowerCase());
    }

    select(kind: ItemKind, fileName: string, on: boolean): void {
        if (on)
            this.selected[kind].add(fileName.toLowerCase());
        else
            this.selected[kind].delete(fileName.toLowerCase());
    }

    selectAll(kind: ItemKind, on: boolean): void {
        this.selected[kind].clear();
        if (on)
            for (const item of this.catalogItems(kind))
                this.selected[kind].add(item.fileName.toLowerCase());
    }

    clearSelection(): void {
        this.selected.dll.clear();
        this.selected.runtime.clear();
    }

    /** The selected items of a view that a repair would take (nothing in place), in catalog order. */
    selectedToRepair(kind: ItemKind): ItemState[] {
        return this.catalogItems(kind).map((entry) => this.session.item(kind, entry.fileName))
            .filter((item) => this.isSelected(kind, item.fileName) && needsRepair(item));
    }

    // ---- requests and runs ----

    /** The request for these catalog entries; a DLL that cannot go into the prefix is left out. */
    pick(dlls: readonly CatalogDll[], runtimes: readonly CatalogRuntime[]): RunRequest {
        const placed = dlls.flatMap((dll) => {
            const placement = this.placements.get(dll.fileName.toLowerCase());
            return placement && "dll" in placement ? [placement.dll] : [];
        });
        return { dlls: placed.map(toDllItem), softwares: runtimes.map(toSoftwareItem) };
    }

    /** Everything not in place. */
    repairRequest(): RunRequest {
        return this.pick(this.catalog.dlls.filter((dll) => needsRepair(this.session.item("dll", dll.fileName))),
            this.catalog.runtimes.filter((runtime) => needsRepair(this.session.item("runtime", runtime.fileName))));
    }

    /** The request that repairs these items again. */
    requestFor(items: readonly ItemState[]): RunRequest {
        const names = new Set(items.map((item) => `${item.kind}:${item.fileName.toLowerCase()}`));
        return this.pick(this.catalog.dlls.filter((dll) => names.has(`dll:${dll.fileName.toLowerCase()}`)),
            this.catalog.runtimes.filter((runtime) => names.has(`runtime:${runtime.fileName.toLowerCase()}`)));
    }

    requestForPlan(plan: RepairPlan): RunRequest {
        return this.pick(plan.dlls, plan.runtimes);
    }

    /** Whether the run started. A repair starts only once its preview is confirmed, unless the
     *  unattended run starts it itself (`ask` false). */
    async run(operation: Operation, request: RunRequest, ask = true): Promise<boolean> {
        if (this.session.running)
            return false;
        if (operation === "scan")
            return this.session.scan(request);
        const preview = repairPreview(request, this.ports.target());
        if (!preview) {
            this.ports.status(format("nothingToRepair"));
            return false;
        }
        if (ask && !(await this.ports.confirm(preview, request)))
            return false;
        return this.session.repair(request);
    }

    scanAll(): void {
        void this.run("scan", this.pick(this.catalog.dlls, this.catalog.runtimes));
    }

    repairAll(): void {
        void this.run("repair", this.repairRequest());
    }

    // ---- unattended runs ----

    /** A program's check was shown. Unattended: repairs what the first look finds, then looks again
     *  and says what is left. */
    programAnalyzed(needs: Tvn.ProgramNeeds, plan: RepairPlan): void {
        if (!this.start.autorun || !this.start.checkPath)
            return;
        this.checksSeen += 1;
        const report = () => this.ports.log(`tvn: check finished: ${needs.dlls.filter((dll) => dll.status === "missing").length} missing`);
        if (this.checksSeen === 1 && plan.dlls.length + plan.runtimes.length > 0)
            void this.run("repair", this.requestForPlan(plan), false).then((started) => started || report());
        else
            report();
    }

    /** The report of each row as the views show it: libraries, then runtimes, in catalog order. */
    rowReports(): RowReport[] {
        return [...this.catalogItems("dll").map((dll) => this.session.item("dll", dll.fileName)),
            ...this.catalogItems("runtime").map((runtime) => this.session.item("runtime", runtime.fileName))].map(rowReport);
    }

    private finished(summary: RunSummary): void {
        if (summary.operation === "repair")
            this.clearSelection();
        this.view?.finished(summary);
        if (this.start.autorun && this.start.checkPath && summary.operation === "repair")
            this.reportRun(summary);
        if (this.start.autorun && !this.start.checkPath)
            this.autorunStep(summary);
    }

    /** After a scan, the repair of what is missing; after that, the tally. */
    private autorunStep(summary: RunSummary): void {
        const rows = this.rowReports();
        for (const row of rows)
            this.ports.log(reportLine(summary.operation, row));
        const request = this.repairRequest();
        if (summary.operation === "scan" && !summary.cancelled && request.dlls.length + request.softwares.length > 0) {
            void this.run("repair", request, false);
            return;
        }
        const inPlace = rows.filter((row) => row.status === "present" || row.status === "repaired").length;
        this.ports.log(`tvn: finished: ${inPlace} of ${rows.length} in place${summary.cancelled ? ", cancelled" : ""}`);
    }

    /** The rows of the run's own items (a program's repair touches only what it needs). */
    private reportRun(summary: RunSummary): void {
        const ran = new Set(summary.items.map((item) => item.fileName));
        for (const row of this.rowReports().filter((row) => ran.has(row.fileName)))
            this.ports.log(reportLine(summary.operation, row));
    }

    private catalogItems(kind: ItemKind): readonly { fileName: string }[] {
        return kind === "dll" ? this.catalog.dlls : this.catalog.runtimes;
    }
}
