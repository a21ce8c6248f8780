// A run of the repair engine as the page follows it. The engine sends one event per item and no
// end message, so the session keeps the items it still waits for; a run ends when none is left or
// when the engine confirms a cancel. Tasks run one at a time in the order sent: the first item still
// waited for in a repair is the one being worked on.

import { newItem, repairResult, scanResult, type ItemKind, type ItemState } from "./items";
import { TransferRate } from "./transfer";

export type Operation = "scan" | "repair";

export interface RunSummary {
    operation: Operation;
    cancelled: boolean;
    items: ItemState[];
}

export interface SessionEvents {
    /** An item changed. */
    item(item: ItemState): void;
    /** A run began or ended. */
    running(operation: Operation | null): void;
    finished(summary: RunSummary): void;
}

export interface RunRequest {
    dlls: Tvn.DllItem[];
    softwares: Tvn.SoftwareItem[];
}

const key = (kind: ItemKind, fileName: string) => `${kind}:${fileName.toLowerCase()}`;

export class RepairSession {
    private readonly items = new Map<string, ItemState>();
    private operation: Operation | null = null;
    private pending: string[] = []; // keys, in the engine's order
    private touched: string[] = [];
    private cancelling = false;
    private rate = new TransferRate();

    /** `now`: the clock the transfer's speed is measured by, in milliseconds. */
    constructor(private readonly engine: Tvn.BizRepairModule, private readonly events: SessionEvents, private readonly now = () => performance.now()) {
        // The engine's events go to the callbacks stored last; one set, stored once (empty lists
        // start nothing).
        engine.scanDlls([], (event) => this.result("dll", event.fileName, (item) => scanResult(item, event.isExist)));
        engine.scanSoftwares([], (event) => this.result("runtime", event.fileName, (item) => scanResult(item, event.isInstall)));
        engine.repairDlls([], (event) => this.result("dll", event.fileName, (item) => repairResult(item, event.errorCode, event.reason)));
        engine.installSoftwares([], (event) => this.result("runtime", event.fileName, (item) => repairResult(item, event.errorCode, event.reason, event.exitCode)));
        engine.onProgress((event) => this.progress(event));
    }

    /** The item being repaired now; null between runs, during a scan, and before the first event. */
    workingItem(): ItemState | null {
        const first = this.operation === "repair" && this.pending[0] ? this.items.get(this.pending[0]) : undefined;
        return first?.status === "working" ? first : null;
    }

    get running(): Operation | null {
        return this.operation;
    }

    get isCancelling(): boolean {
        return this.cancelling;
    }

    /** The items of the run going on (none between runs). */
    runItems(): ItemState[] {
        return this.touched.map((k) => this.items.get(k) as ItemState);
    }

    item(kind: ItemKind, fileName: string): ItemState {
        const k = key(kind, fileName);
        let item = this.items.get(k);
        if (!item) {
            item = newItem(kind, fileName);
            this.items.set(k, item);
        }
        return item;
    }

    /** One-key scan of both lists. False when a run is going on or there is nothing to scan. */
    scan(request: RunRequest): boolean {
        if (!this.begin("scan", request, "checking"))
            return false;
        this.engine.oneKeyScan(request.dlls, request.softwares);
        return true;
    }

    /** Repairs the DLLs and installs the runtimes given, DLLs first. */
    repair(request: RunRequest): boolean {
        if (!this.begin("repair", request, "queued"))
            return false;
        this.markWorking();
        if (request.softwares.length === 0)
            this.engine.repairDlls(request.dlls, (event) => this.result("dll", event.fileName, (item) => repairResult(item, event.errorCode, event.reason)));
        else if (request.dlls.length === 0)
            this.engine.installSoftwares(request.softwares, (event) => this.result("runtime", event.fileName, (item) => repairResult(item, event.errorCode, event.reason, event.exitCode)));
        else
            this.engine.oneKeyRepair(request.dlls, request.softwares);
        return true;
    }

    /** Forgets every item's state, as when the machine being repaired changes; the DLLs named in
     *  `unavailable` cannot be used there. False (nothing forgotten) while a run goes on. */
    reset(unavailable: string[] = []): boolean {
        if (this.operation)
            return false;
        for (const item of this.items.values())
            this.update(newItem(item.kind, item.fileName));
        for (const fileName of unavailable)
            this.update({ ...newItem("dll", fileName), status: "unavailable" });
        return true;
    }

    cancel(): void {
        if (!this.operation || this.cancelling)
            return;
        this.cancelling = true;
        this.events.running(this.operation);
        this.engine.cancelTask(() => this.cancelled());
    }

    private begin(operation: Operation, request: RunRequest, status: "checking" | "queued"): boolean {
        if (this.operation)
            return false;
        const keys = [
            ...request.dlls.map((dll) => key("dll", dll.fileName)),
            ...request.softwares.map((software) => key("runtime", software.fileName)),
        ];
        if (keys.length === 0)
            return false;
        this.operation = operation;
        this.pending = keys;
        this.touched = [...keys];
        for (const dll of request.dlls)
            this.update({ ...this.item("dll", dll.fileName), status, progress: 0 });
        for (const software of request.softwares)
            this.update({ ...this.item("runtime", software.fileName), status, progress: 0 });
        this.events.running(operation);
        return true;
    }

    private result(kind: ItemKind, fileName: string, next: (item: ItemState) => ItemState): void {
        const k = key(kind, fileName);
        const at = this.pending.indexOf(k);
        if (at < 0)
            return; // not of this run (a late event of a run that ended)
        this.pending.splice(at, 1);
        this.update(next(this.item(kind, fileName)));
        if (this.pending.length === 0)
            this.end(false);
        else if (this.operation === "repair")
            this.markWorking();
    }

    private markWorking(): void {
        const first = this.pending[0] ? this.items.get(this.pending[0]) : undefined;
        if (first && first.status === "queued") {
            this.rate = new TransferRate();
            this.update({ ...first, status: "working", progress: 0, transfer: null });
        }
    }

    /** The working item's file: its part done, and its speed. A report for another file (a late one
     *  of an item already answered) is dropped. */
    private progress(event: Tvn.RepairProgressEvent): void {
        const item = this.workingItem();
        if (!item || item.fileName.toLowerCase() !== event.fileName.toLowerCase())
            return;
        this.rate.add(this.now(), event.current);
        const progress = event.total > 0 ? Math.min(event.current / event.total, 1) : item.progress;
        this.update({ ...item, progress, transfer: { current: event.current, total: event.total, perSecond: this.rate.perSecond() } });
    }

    private cancelled(): void {
        if (!this.operation)
            return;
        for (const k of this.pending) {
            const item = this.items.get(k);
            if (item)
                this.update({ ...item, status: this.operation === "scan" ? "unknown" : "cancelled" });
        }
        this.end(true);
    }

    private end(cancelled: boolean): void {
        const operation = this.operation as Operation;
        const items = this.runItems();
        this.operation = null;
        this.pending = [];
        this.touched = [];
        this.cancelling = false;
        this.events.running(null);
        this.events.finished({ operation, cancelled, items });
    }

    private update(item: ItemState): void {
        this.items.set(key(item.kind, item.fileName), item);
        this.events.item(item);
    }
}
