// The state of each catalog item as the page shows it, and the rules that move it: scan and repair
// results from the engine, the texts they show, and the progress sums.

import { format, type TextKey } from "./texts";
import { transferText, type Transfer } from "./transfer";

export type ItemKind = "dll" | "runtime";

export type ItemStatus =
    | "unknown" // not scanned yet
    | "checking"
    | "present" // found by a scan (installed, for a runtime)
    | "missing"
    | "queued" // waiting for its turn in a repair
    | "working"
    | "repaired" // downloaded into place (installer ran, for a runtime)
    | "failed"
    | "cancelled"
    | "unavailable"; // cannot be used in the prefix in use (a 64-bit DLL in a 32-bit prefix)

export interface ItemState {
    kind: ItemKind;
    fileName: string;
    status: ItemStatus;
    errorCode: number;
    /** Why the last repair ended as it did ("" when its code says it all). */
    reason: Tvn.RepairReason;
    /** The installer's exit code, with reason "exitCode". */
    exitCode: number;
    /** The part of its repair done, 0 to 1 (0 until the engine reports a part). */
    progress: number;
    /** Its file's transfer while the repair goes on; null before the first report. */
    transfer: Transfer | null;
}

export function newItem(kind: ItemKind, fileName: string): ItemState {
    return { kind, fileName, status: "unknown", errorCode: 0, reason: "", exitCode: 0, progress: 0, transfer: null };
}

/** The reasons that have words of their own (the others: see failureText). */
const reasonKeys: Partial<Record<Tvn.RepairReason, TextKey>> = {
    noServer: "reasonNoServer",
    unreachable: "reasonUnreachable",
    noAddress: "reasonNoAddress",
    refused: "reasonRefused",
    badDigest: "reasonBadDigest",
    transfer: "reasonTransfer",
    cannotWrite: "reasonCannotWrite",
};

/** Why a repair failed, in words: from the engine's reason when it gave one, else from its code. */
export function failureText(item: Pick<ItemState, "kind" | "errorCode" | "reason">): string {
    if (item.reason === "notStarted")
        return format(item.kind === "dll" ? "errorRegistration" : "reasonInstallerNotStarted");
    const key = reasonKeys[item.reason];
    return key ? format(key) : errorText(item.kind, item.errorCode);
}

/** The reason an engine error code gives, for the item's kind. */
export function errorText(kind: ItemKind, code: number): string {
    switch (code) {
    case 1:
        return format("errorNoAddress");
    case 2:
        return format("errorDownload");
    case 3:
        return format(kind === "dll" ? "errorRegistration" : "errorInstaller");
    default:
        return format("errorUnknown", { code: String(code) });
    }
}

const statusKeys: Record<ItemKind, Record<Exclude<ItemStatus, "failed">, TextKey>> = {
    dll: {
        unknown: "statusUnknown",
        checking: "statusChecking",
        present: "statusPresent",
        missing: "statusMissing",
        queued: "statusQueued",
        working: "statusRepairing",
        repaired: "statusRepaired",
        cancelled: "statusCancelled",
        unavailable: "statusNot32",
    },
    runtime: {
        unknown: "statusUnknown",
        checking: "statusChecking",
        present: "statusInstalled",
        missing: "statusMissing",
        queued: "statusQueued",
        working: "statusInstalling",
        repaired: "statusInstallerDone",
        cancelled: "statusCancelled",
        unavailable: "statusNot32",
    },
};

export function statusText(item: ItemState): string {
    const transfer = item.transfer;
    if (item.status === "working" && transfer && (transfer.total === 0 || transfer.current < transfer.total))
        return format(item.kind === "dll" ? "statusDownloading" : "statusDownloadingInstaller", { transfer: transferText(transfer) });
    if (item.status === "failed")
        return format("statusFailed", { reason: failureText(item) });
    if (item.status === "repaired" && item.kind === "runtime" && item.reason === "exitCode")
        return format("statusInstallerExit", { code: String(item.exitCode) });
    return format(statusKeys[item.kind][item.status]);
}

/** Items a repair would take: missing ones, and those whose last repair did not finish. */
export function needsRepair(item: ItemState): boolean {
    return item.status === "missing" || item.status === "failed" || item.status === "cancelled";
}

/** Whether the item is in place, as far as the page knows. */
export function isInPlace(item: ItemState): boolean {
    return item.status === "present" || item.status === "repaired";
}

export function scanResult(item: ItemState, exists: boolean): ItemState {
    return { ...item, status: exists ? "present" : "missing", errorCode: 0, reason: "", exitCode: 0, progress: 0, transfer: null };
}

/** An item after its repair's event: repaired, cancelled (a cancel cut it off), or failed. A
 *  transfer that broke off or was cut keeps the part that had arrived (never a full bar); any other
 *  failure kept nothing of its file (a file that did not match its digest is thrown away). */
export function repairResult(item: ItemState, errorCode: number, reason: Tvn.RepairReason = "", exitCode = 0): ItemState {
    const status: ItemStatus = errorCode === 0 ? "repaired" : reason === "cancelled" ? "cancelled" : "failed";
    const kept = reason === "transfer" || reason === "cancelled" ? Math.min(item.progress, 0.99) : 0;
    return { ...item, status, errorCode, reason, exitCode, progress: status === "repaired" ? 1 : kept, transfer: null };
}

/** What a row's bar shows: the part of a repair done (0 to 1), "busy" while a repair goes on with no
 *  part known, or null for no bar at all: a scan's answer and an untouched row have no work to show. */
export type Bar = number | "busy" | null;

export function rowBar(item: ItemState): Bar {
    switch (item.status) {
    case "queued":
        return 0;
    case "working": // busy before the file's first bytes and after its last (registering, installing)
        return item.progress > 0 && item.progress < 1 ? item.progress : "busy";
    case "repaired":
        return 1;
    case "failed":
    case "cancelled":
        return Math.min(Math.max(item.progress, 0), 1);
    default:
        return null;
    }
}

/** The status line's words for a finished run: how many were repaired, failed and left undone. A
 *  repair that the missing server failed says so once for the run (each row says it too, but
 *  eleven rows are no notice). */
export function finishedText(operation: "scan" | "repair", cancelled: boolean, items: readonly ItemState[]): string {
    const count = (status: ItemStatus) => items.filter((item) => item.status === status).length;
    if (operation === "scan")
        return cancelled ? format("cancelled") : format("scanDone", { missing: count("missing") });
    const counts = { repaired: count("repaired"), failed: count("failed"), skipped: count("cancelled") };
    if (cancelled)
        return format("repairCancelled", counts);
    const failed = items.filter((item) => item.status === "failed");
    if (failed.some((item) => item.reason === "noServer"))
        return format("repairNoServer", counts);
    if (failed.some((item) => item.reason === "unreachable"))
        return format("repairUnreachable", counts);
    return format(counts.failed ? "repairDoneFailed" : "repairDone", counts);
}

/** "3 of 8 libraries missing": a view's own count, from what the page knows of its items. */
export function viewCountText(kind: ItemKind, items: readonly ItemState[]): string {
    const total = items.length;
    const missing = items.filter(needsRepair).length;
    const known = items.filter((item) => item.status !== "unknown" && item.status !== "checking").length;
    const keys = kind === "dll"
        ? { none: "countLibrariesNone", unchecked: "countLibrariesUnchecked", missing: "countLibrariesMissing", all: "countLibrariesAll" } as const
        : { none: "countRuntimesNone", unchecked: "countRuntimesUnchecked", missing: "countRuntimesMissing", all: "countRuntimesAll" } as const;
    if (total === 0)
        return format(keys.none);
    if (known === 0)
        return format(keys.unchecked, { count: total });
    return format(items.every(isInPlace) ? keys.all : keys.missing, { missing, count: total });
}

export interface Progress {
    /** Items the engine has answered for, whatever the answer. */
    done: number;
    total: number;
    /** The work done, 0 to 1: an item counts whole once scanned or repaired and only for its part
     *  done when it failed or was cut off, so a run with a failure never shows a full bar and a
     *  cancelled one stops where it stopped. 1 when there is nothing to do. */
    fraction: number;
}

const answered: ReadonlySet<ItemStatus> = new Set(["present", "missing", "unavailable", "repaired", "failed", "cancelled"]);

function workDone(item: ItemState): number {
    if (item.status === "working" || item.status === "failed" || item.status === "cancelled")
        return Math.min(Math.max(item.progress, 0), 1); // the part that arrived
    return answered.has(item.status) ? 1 : 0;
}

export function overallProgress(items: readonly ItemState[]): Progress {
    const total = items.length;
    const done = items.filter((item) => answered.has(item.status)).length;
    const sum = items.reduce((acc, item) => acc + workDone(item), 0);
    return { done, total, fraction: total === 0 ? 1 : sum / total };
}

/** The status line of a repair going on: the count, and the file arriving with its speed. */
export function runText(progress: Progress, working: ItemState | null): string {
    const counts = { done: progress.done, total: progress.total };
    if (!working?.transfer)
        return format("repairing", counts);
    return format("repairingItem", { ...counts, name: working.fileName, transfer: transferText(working.transfer) });
}

/** The items of a finished run that a retry would take again: those that failed or were cut off. */
export function retryItems(items: readonly ItemState[]): ItemState[] {
    return items.filter((item) => item.status === "failed" || item.status === "cancelled");
}
